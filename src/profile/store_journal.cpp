#include "profile/store_journal.h"

namespace vxm {
namespace {

u16 RootName(platform::RegRoot root) {
    return root == platform::RegRoot::LocalMachine ? u"HKEY_LOCAL_MACHINE" : u"HKEY_CURRENT_USER";
}

}  // namespace

class StoreJournal::Key final : public platform::IRegistryKey {
public:
    Key(StoreJournal& journal, std::unique_ptr<platform::IRegistryKey> inner, u16 name)
        : journal_(journal), inner_(std::move(inner)), name_(std::move(name)) {}
    bool ValueExists(u16view name) override { return inner_->ValueExists(name); }
    long QueryValue(u16view name, platform::RegValue& out) override { return inner_->QueryValue(name, out); }
    long SetValue(u16view name, std::uint32_t type, const std::uint8_t* data, std::size_t size) override {
        const long rc = inner_->SetValue(name, type, data, size);
        if (rc == platform::kErrorSuccess) journal_.Note(u"registry value \"" + u16(name) + u"\" in " + name_);
        return rc;
    }

private:
    StoreJournal& journal_;
    std::unique_ptr<platform::IRegistryKey> inner_;
    u16 name_;
};

StoreJournal::StoreJournal(platform::IRegistry& registry, platform::IFileSystem& files)
    : registry_(*this, registry), files_(*this, files) {}

std::unique_ptr<platform::IRegistryKey> StoreJournal::JournalRegistry::OpenKey(platform::RegRoot root, u16view path,
                                                                        bool create, long& error) {
    auto key = inner_.OpenKey(root, path, create, error);
    if (!key) return nullptr;
    return std::make_unique<Key>(journal_, std::move(key), RootName(root) + u"\\" + u16(path));
}

bool StoreJournal::JournalFiles::CreateFolder(u16view path) {
    const bool created = inner_.CreateFolder(path);
    if (created) journal_.Note(u"folder \"" + u16(path) + u"\"");
    return created;
}

long StoreJournal::JournalFiles::WriteFile(u16view path, const std::uint8_t* data, std::size_t size) {
    const long rc = inner_.WriteFile(path, data, size);
    // A write that failed may still have truncated the file: it is named too.
    journal_.Note(u"file \"" + u16(path) + u"\"" + (rc == platform::kErrorSuccess ? u"" : u" (write failed)"));
    return rc;
}

}  // namespace vxm
