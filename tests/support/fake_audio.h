#pragma once
// A fake sound system with capture endpoints, and a fake mixer device 0.
// The sound system counts its calls (a read of everything, a set of one or
// more mutes: one call each, as one round trip each is), and acts as the
// real one does: what changes is reported through the open session, all of
// it when `follows`, else only the mutes (as Core Audio's volume callback).
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio.h"

namespace vxm::fake {

class FakeCoreAudio final : public platform::ICoreAudio {
public:
    struct Endpoint {
        u16 name;
        bool muted = false;
        bool monitor = false;
        bool setMuteFails = false;  // the system refuses its mute
        int setMuteCalls = 0;       // sets that reached it (the default's too)
    };
    std::map<u16, std::shared_ptr<Endpoint>> endpoints;  // id -> state
    u16 defaultId;                                       // empty: no default
    // The session reports every change (else the logic reads at every press,
    // and a session needs a default endpoint to open, as on Windows).
    bool follows = false;
    bool available = true;      // the sound system is there
    bool refreshFails = false;  // it cannot be read
    bool noAnswer = false;      // it takes the sets and never answers
    int opens = 0;              // sessions opened
    int calls = 0;              // Refresh and SetMute calls, one round trip each
    int refreshes = 0;
    platform::AudioEventSink sink;  // the open session's, or empty
    std::function<void()> duringReport;  // runs inside each report's sink call

    // The system's own changes; each is reported through the session.
    void AddMicrophone(u16 id, bool makeDefault = true, u16 name = u"", bool monitor = false);
    void SetMuted(const u16& id, bool muted);  // changed elsewhere
    void Remove(const u16& id);
    void MakeDefault(const u16& id);
    void Lose();     // the server goes: Lost, nothing answers
    void Restart();  // and comes back: a Snapshot
    Endpoint& Of(const u16& id) { return *endpoints.at(id); }

    std::unique_ptr<platform::ICaptureEndpoints> Open(platform::AudioEventSink onEvent) override;

    void Report(const platform::AudioEvent& e, bool evenUnfollowed = false);
    platform::AudioEvent Snapshot() const;
    platform::CaptureEndpoint Info(const u16& id) const;
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
