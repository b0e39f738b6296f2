#pragma once
// Fake Core Audio endpoints and a fake mixer device 0.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio.h"

namespace vxm::fake {

class FakeCoreAudio final : public platform::ICoreAudio {
public:
    struct Endpoint {
        bool muted = false;
        bool getMuteFails = false;
        bool setMuteFails = false;
        int getMuteCalls = 0;
        int setMuteCalls = 0;
    };
    std::map<u16, std::shared_ptr<Endpoint>> endpoints;  // id -> state
    u16 defaultId;                                       // empty: no microphone
    int binds = 0;
    std::function<void(bool)> notify;  // the registered callback

    void AddMicrophone(u16 id, bool makeDefault = true) {
        endpoints[id] = std::make_shared<Endpoint>();
        if (makeDefault) defaultId = id;
    }
    Endpoint& Of(const u16& id) { return *endpoints.at(id); }

    std::unique_ptr<platform::IAudioEndpoint> BindDefaultCapture(std::function<void(bool)> onNotify) override;
    u16 DefaultCaptureId() override { return defaultId; }
};

class FakeMixer final : public platform::IMixer {
public:
    unsigned devices = 1;
    unsigned openResult = 0;
    bool hasMicrophoneLine = true;
    bool hasMuteControl = true;
    unsigned getResult = 0, setResult = 0;
    std::uint32_t value = 0;
    int opens = 0, closes = 0;
    std::vector<std::uint32_t> lineTypesAsked;

    unsigned GetNumDevs() override { return devices; }
    unsigned Open() override {
        ++opens;
        return openResult;
    }
    unsigned GetLineInfo(std::uint32_t componentType, std::uint32_t& lineId) override {
        lineTypesAsked.push_back(componentType);
        lineId = 7;
        return hasMicrophoneLine && componentType == 0x1003 ? 0 : 1024;
    }
    unsigned GetMuteControl(std::uint32_t, std::uint32_t& controlId) override {
        controlId = 9;
        return hasMuteControl ? 0 : 1025;
    }
    unsigned GetControlValue(std::uint32_t, std::uint32_t& v) override {
        if (getResult == 0) v = value;
        return getResult;
    }
    unsigned SetControlValue(std::uint32_t, std::uint32_t v) override {
        if (setResult == 0) value = v;
        return setResult;
    }
    void Close() override { ++closes; }
};

}  // namespace vxm::fake
