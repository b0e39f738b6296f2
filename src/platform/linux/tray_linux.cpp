#include "platform/linux/tray_linux.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>

#include <cstring>

#include "platform/linux/posix.h"

namespace vxm::linuxos {

namespace {

constexpr char kWatcherName[] = "org.kde.StatusNotifierWatcher";
constexpr char kItemInterface[] = "org.kde.StatusNotifierItem";
constexpr std::size_t kMaxIconFile = 4u << 20;

}  // namespace

struct StatusNotifierItem::Access {
    static StatusNotifierItem& Of(void* userdata) { return *static_cast<StatusNotifierItem*>(userdata); }

    static int String(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
                      sd_bus_error*) {
        StatusNotifierItem& self = Of(userdata);
        const char* value = "";
        if (!std::strcmp(property, "Category")) value = "Hardware";
        else if (!std::strcmp(property, "Id")) value = self.id_.c_str();
        else if (!std::strcmp(property, "Title")) value = self.title_.c_str();
        else if (!std::strcmp(property, "Status")) value = self.status_.c_str();
        else if (!std::strcmp(property, "IconName") && self.pixmaps_.empty()) {
            value = self.muted_ ? kTrayMutedIconName : kTrayFallbackIconName;
        }
        return sd_bus_message_append(reply, "s", value);
    }
    static int Pixmaps(sd_bus_message* reply, const std::vector<IconPixmap>& pixmaps) {
        int r = sd_bus_message_open_container(reply, 'a', "(iiay)");
        for (const IconPixmap& p : pixmaps) {
            if (r < 0) return r;
            r = sd_bus_message_open_container(reply, 'r', "iiay");
            if (r >= 0) r = sd_bus_message_append(reply, "ii", p.width, p.height);
            if (r >= 0) r = sd_bus_message_append_array(reply, 'y', p.argb.data(), p.argb.size());
            if (r >= 0) r = sd_bus_message_close_container(reply);
        }
        if (r < 0) return r;
        return sd_bus_message_close_container(reply);
    }
    static int IconPixmapProperty(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                                  void* userdata, sd_bus_error*) {
        const StatusNotifierItem& self = Of(userdata);
        return Pixmaps(reply, self.muted_ ? self.mutedPixmaps_ : self.pixmaps_);
    }
    static int EmptyPixmap(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                           sd_bus_error*) {
        return Pixmaps(reply, {});
    }
    static int ToolTip(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* userdata,
                       sd_bus_error*) {
        StatusNotifierItem& self = Of(userdata);
        // (icon name, icon images, title, description): the hint is the title.
        int r = sd_bus_message_open_container(reply, 'r', "sa(iiay)ss");
        if (r >= 0) r = sd_bus_message_append(reply, "s", "");
        if (r >= 0) r = Pixmaps(reply, {});
        if (r >= 0) r = sd_bus_message_append(reply, "ss", self.hint_.c_str(), "");
        if (r >= 0) r = sd_bus_message_close_container(reply);
        return r;
    }
    static int Bool(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return sd_bus_message_append(reply, "b", 0);
    }
    static int WindowId(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                        sd_bus_error*) {
        return sd_bus_message_append(reply, "i", 0);
    }
    static int Menu(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return sd_bus_message_append(reply, "o", kTrayMenuPath);
    }
    static int Activate(sd_bus_message* m, void* userdata, sd_bus_error*) {
        StatusNotifierItem& self = Of(userdata);
        self.lifetime_.Post(self.loop_, [&self] {
            if (self.attached_ && !self.attached_()) return;
            const std::function<void()> click = self.OnClick;
            if (click) click();
        });
        return sd_bus_reply_method_return(m, "");
    }
    static int Ignore(sd_bus_message* m, void*, sd_bus_error*) { return sd_bus_reply_method_return(m, ""); }
    static int Registered(sd_bus_message* m, void* userdata, sd_bus_error*) {
        StatusNotifierItem& self = Of(userdata);
        self.call_.Reset();
        if (sd_bus_message_is_method_error(m, nullptr)) {
            self.registered_ = false;
            if (!self.saidNoWatcher_ && self.sayOnce_) {
                self.saidNoWatcher_ = true;
                const sd_bus_error* e = sd_bus_message_get_error(m);
                self.sayOnce_(std::string("no tray: no StatusNotifierWatcher on the session bus (") +
                              (e && e->name ? e->name : "error") + "); going on without one");
            }
            return 0;
        }
        self.registered_ = true;
        return 0;
    }
    static int WatcherChanged(sd_bus_message* m, void* userdata, sd_bus_error*) {
        StatusNotifierItem& self = Of(userdata);
        const char* name = nullptr;
        const char* before = nullptr;
        const char* after = nullptr;
        if (sd_bus_message_read(m, "sss", &name, &before, &after) < 0) return 0;
        if (!name || std::strcmp(name, kWatcherName) != 0) return 0;
        self.registered_ = false;
        // A new watcher (a panel started, or restarted) gets the item.
        if (after && *after) self.Register();
        return 0;
    }
};

namespace {

const sd_bus_vtable kItemVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Category", "s", StatusNotifierItem::Access::String, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Id", "s", StatusNotifierItem::Access::String, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Title", "s", StatusNotifierItem::Access::String, 0, 0),
    SD_BUS_PROPERTY("Status", "s", StatusNotifierItem::Access::String, 0, 0),
    SD_BUS_PROPERTY("WindowId", "i", StatusNotifierItem::Access::WindowId, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconName", "s", StatusNotifierItem::Access::String, 0, 0),
    SD_BUS_PROPERTY("IconPixmap", "a(iiay)", StatusNotifierItem::Access::IconPixmapProperty, 0, 0),
    SD_BUS_PROPERTY("OverlayIconName", "s", StatusNotifierItem::Access::String, 0, 0),
    SD_BUS_PROPERTY("OverlayIconPixmap", "a(iiay)", StatusNotifierItem::Access::EmptyPixmap, 0, 0),
    SD_BUS_PROPERTY("AttentionIconName", "s", StatusNotifierItem::Access::String, 0, 0),
    SD_BUS_PROPERTY("AttentionIconPixmap", "a(iiay)", StatusNotifierItem::Access::EmptyPixmap, 0, 0),
    SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", StatusNotifierItem::Access::ToolTip, 0, 0),
    SD_BUS_PROPERTY("ItemIsMenu", "b", StatusNotifierItem::Access::Bool, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Menu", "o", StatusNotifierItem::Access::Menu, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("Activate", "ii", "", StatusNotifierItem::Access::Activate, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SecondaryActivate", "ii", "", StatusNotifierItem::Access::Ignore, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("ContextMenu", "ii", "", StatusNotifierItem::Access::Ignore, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Scroll", "is", "", StatusNotifierItem::Access::Ignore, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("NewTitle", "", 0),
    SD_BUS_SIGNAL("NewIcon", "", 0),
    SD_BUS_SIGNAL("NewAttentionIcon", "", 0),
    SD_BUS_SIGNAL("NewOverlayIcon", "", 0),
    SD_BUS_SIGNAL("NewToolTip", "", 0),
    SD_BUS_SIGNAL("NewStatus", "s", 0),
    SD_BUS_VTABLE_END};

}  // namespace

StatusNotifierItem::StatusNotifierItem(sd_bus* bus, MainLoop& loop, std::string id, std::function<bool()> attached,
                                       std::function<void(const std::string&)> sayOnce, Marker markMuted)
    : bus_(bus),
      loop_(loop),
      id_(std::move(id)),
      attached_(std::move(attached)),
      sayOnce_(std::move(sayOnce)),
      markMuted_(std::move(markMuted)) {
    sd_bus_add_object_vtable(bus_, object_.Put(), kTrayItemPath, kItemInterface, kItemVtable, this);
    const std::string rule = std::string("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                                         "member='NameOwnerChanged',arg0='") + kWatcherName + "'";
    sd_bus_add_match_async(bus_, match_.Put(), rule.c_str(), &Access::WatcherChanged, nullptr, this);
    Register();
}

// What was posted for this item runs no more; its slots go with it, so no
// callback reaches it, and the watcher sees the object leave the bus.
StatusNotifierItem::~StatusNotifierItem() { lifetime_.End(); }

void StatusNotifierItem::Register() {
    call_.Reset();
    const char* unique = nullptr;
    if (sd_bus_get_unique_name(bus_, &unique) < 0 || !unique) return;
    // Asynchronous: a watcher that hangs holds up nothing.
    sd_bus_call_method_async(bus_, call_.Put(), kWatcherName, "/StatusNotifierWatcher", kWatcherName,
                             "RegisterStatusNotifierItem", &Access::Registered, this, "s", unique);
}

void StatusNotifierItem::Emit(const char* signal) {
    if (!std::strcmp(signal, "NewStatus")) {
        sd_bus_emit_signal(bus_, kTrayItemPath, kItemInterface, signal, "s", status_.c_str());
    } else {
        sd_bus_emit_signal(bus_, kTrayItemPath, kItemInterface, signal, "");
    }
}

bool StatusNotifierItem::LoadIconFromFile(u16view path) {
    std::vector<std::uint8_t> bytes;
    if (ReadRegularFileAt(AT_FDCWD, ResolveNoCase(NativePath(path)), kMaxIconFile, bytes) != 0) return false;
    std::vector<IconPixmap> pixmaps = IconPixmapsFromIco(bytes.data(), bytes.size());
    if (pixmaps.empty()) return false;
    // Made once: the muted icon is shown at once, whatever the host asks when.
    std::vector<IconPixmap> muted;
    for (const IconPixmap& p : pixmaps) muted.push_back(markMuted_ ? markMuted_(p) : p);
    pixmaps_ = std::move(pixmaps);
    mutedPixmaps_ = std::move(muted);
    Emit("NewIcon");
    return true;
}

void StatusNotifierItem::SetHint(u16view hint) {
    hint_ = Utf8(hint);
    Emit("NewToolTip");
}

void StatusNotifierItem::SetMuteBadge(bool shown) {
    if (shown == muted_) return;
    muted_ = shown;
    Emit("NewIcon");
}

void StatusNotifierItem::SetTitle(u16view title) {
    title_ = Utf8(title);
    Emit("NewTitle");
}

void StatusNotifierItem::SetVisible(bool visible) {
    status_ = visible ? "Active" : "Passive";
    Emit("NewStatus");
}


}  // namespace vxm::linuxos
