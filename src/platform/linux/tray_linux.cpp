#include "platform/linux/tray_linux.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>

#include <cstring>

#include "platform/linux/posix.h"

namespace vxm::linuxos {

namespace {

constexpr char kWatcherName[] = "org.kde.StatusNotifierWatcher";
constexpr char kItemInterface[] = "org.kde.StatusNotifierItem";
constexpr char kMenuInterface[] = "com.canonical.dbusmenu";
constexpr std::size_t kMaxIconFile = 4u << 20;

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// Posts `call` to the loop for as long as `alive` lives.
void PostGuarded(MainLoop& loop, const std::shared_ptr<bool>& alive, std::function<void()> call) {
    std::weak_ptr<bool> weak = alive;
    loop.Post([weak, call = std::move(call)] {
        if (weak.lock()) call();
    });
}

}  // namespace

std::vector<IconPixmap> IconPixmapsFromIco(const std::uint8_t* data, std::size_t size) {
    std::vector<IconPixmap> out;
    if (size < 6 || Le16(data) != 0 || Le16(data + 2) != 1) return out;
    const std::size_t count = Le16(data + 4);
    if (6 + count * 16 > size) return out;
    for (std::size_t e = 0; e < count; ++e) {
        const std::uint8_t* entry = data + 6 + e * 16;
        const std::uint32_t bytes = Le32(entry + 8);
        const std::uint32_t offset = Le32(entry + 12);
        if (offset > size || bytes > size - offset || bytes < 40) continue;
        const std::uint8_t* bmp = data + offset;
        if (Le32(bmp) != 40) continue;  // a PNG image, or another header
        const auto width = static_cast<std::int32_t>(Le32(bmp + 4));
        const auto height2 = static_cast<std::int32_t>(Le32(bmp + 8));
        if (Le16(bmp + 12) != 1 || Le16(bmp + 14) != 32 || Le32(bmp + 16) != 0) continue;
        if (width <= 0 || width > 512 || height2 <= 0 || height2 % 2 != 0 || height2 / 2 > 512) continue;
        const std::int32_t height = height2 / 2;
        const std::size_t stride = static_cast<std::size_t>(width) * 4;
        if (40 + stride * static_cast<std::size_t>(height) > bytes) continue;
        IconPixmap p;
        p.width = width;
        p.height = height;
        p.argb.resize(stride * static_cast<std::size_t>(height));
        for (std::int32_t y = 0; y < height; ++y) {
            // Rows are stored bottom up, each pixel B, G, R, A.
            const std::uint8_t* row = bmp + 40 + stride * static_cast<std::size_t>(height - 1 - y);
            std::uint8_t* to = p.argb.data() + stride * static_cast<std::size_t>(y);
            for (std::int32_t x = 0; x < width; ++x) {
                const std::uint8_t* px = row + x * 4;
                to[x * 4 + 0] = px[3];
                to[x * 4 + 1] = px[2];
                to[x * 4 + 2] = px[1];
                to[x * 4 + 3] = px[0];
            }
        }
        out.push_back(std::move(p));
    }
    return out;
}

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
        else if (!std::strcmp(property, "IconName")) value = self.pixmaps_.empty() ? kTrayFallbackIconName : "";
        else if (!std::strcmp(property, "OverlayIconName")) value = self.muted_ ? kTrayMutedOverlayName : "";
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
        return Pixmaps(reply, Of(userdata).pixmaps_);
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
        PostGuarded(self.loop_, self.alive_, [&self] {
            if (self.attached_ && !self.attached_()) return;
            const std::function<void()> click = self.OnClick;
            if (click) click();
        });
        return sd_bus_reply_method_return(m, "");
    }
    static int Ignore(sd_bus_message* m, void*, sd_bus_error*) { return sd_bus_reply_method_return(m, ""); }
    static int Registered(sd_bus_message* m, void* userdata, sd_bus_error*) {
        StatusNotifierItem& self = Of(userdata);
        self.call_ = sd_bus_slot_unref(self.call_);
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
                                       std::function<void(const std::string&)> sayOnce)
    : bus_(bus), loop_(loop), id_(std::move(id)), attached_(std::move(attached)), sayOnce_(std::move(sayOnce)) {
    sd_bus_add_object_vtable(bus_, &object_, kTrayItemPath, kItemInterface, kItemVtable, this);
    const std::string rule = std::string("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                                         "member='NameOwnerChanged',arg0='") + kWatcherName + "'";
    sd_bus_add_match_async(bus_, &match_, rule.c_str(), &Access::WatcherChanged, nullptr, this);
    Register();
}

StatusNotifierItem::~StatusNotifierItem() {
    *alive_ = false;
    alive_.reset();
    // Gone from the bus: the watcher sees the object vanish with the
    // connection, and no callback reaches this object any more.
    sd_bus_slot_unref(call_);
    sd_bus_slot_unref(match_);
    sd_bus_slot_unref(object_);
}

void StatusNotifierItem::Register() {
    call_ = sd_bus_slot_unref(call_);
    const char* unique = nullptr;
    if (sd_bus_get_unique_name(bus_, &unique) < 0 || !unique) return;
    // Asynchronous: a watcher that hangs holds up nothing.
    sd_bus_call_method_async(bus_, &call_, kWatcherName, "/StatusNotifierWatcher", kWatcherName,
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
    pixmaps_ = std::move(pixmaps);
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
    Emit("NewOverlayIcon");
}

void StatusNotifierItem::SetTitle(u16view title) {
    title_ = Utf8(title);
    Emit("NewTitle");
}

void StatusNotifierItem::SetVisible(bool visible) {
    status_ = visible ? "Active" : "Passive";
    Emit("NewStatus");
}

struct DbusMenu::Access {
    static DbusMenu& Of(void* userdata) { return *static_cast<DbusMenu*>(userdata); }

    static int Properties(sd_bus_message* reply, const DbusMenu& menu, std::int32_t id) {
        int r = sd_bus_message_open_container(reply, 'a', "{sv}");
        if (r < 0) return r;
        if (id == 0) {
            r = sd_bus_message_append(reply, "{sv}", "children-display", "s", "submenu");
        } else {
            const Item& item = menu.items_[static_cast<std::size_t>(id - 1)];
            r = sd_bus_message_append(reply, "{sv}{sv}{sv}", "label", "s", item.label.c_str(), "enabled", "b", 1,
                                      "visible", "b", item.visible ? 1 : 0);
        }
        if (r < 0) return r;
        return sd_bus_message_close_container(reply);
    }
    static bool Known(const DbusMenu& menu, std::int32_t id) {
        return id >= 0 && static_cast<std::size_t>(id) <= menu.items_.size();
    }
    // (ia{sv}av) of one item, with its children when it is the root.
    static int Layout(sd_bus_message* reply, const DbusMenu& menu, std::int32_t id, bool children) {
        int r = sd_bus_message_open_container(reply, 'r', "ia{sv}av");
        if (r >= 0) r = sd_bus_message_append(reply, "i", id);
        if (r >= 0) r = Properties(reply, menu, id);
        if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "v");
        if (r >= 0 && id == 0 && children) {
            for (std::size_t i = 0; i < menu.items_.size() && r >= 0; ++i) {
                r = sd_bus_message_open_container(reply, 'v', "(ia{sv}av)");
                if (r >= 0) r = Layout(reply, menu, static_cast<std::int32_t>(i + 1), false);
                if (r >= 0) r = sd_bus_message_close_container(reply);
            }
        }
        if (r >= 0) r = sd_bus_message_close_container(reply);
        if (r >= 0) r = sd_bus_message_close_container(reply);
        return r;
    }
    static int GetLayout(sd_bus_message* m, void* userdata, sd_bus_error* error) {
        DbusMenu& menu = Of(userdata);
        std::int32_t parent = 0;
        std::int32_t depth = 0;
        int r = sd_bus_message_read(m, "ii", &parent, &depth);
        if (r < 0) return r;
        if (!Known(menu, parent)) return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "no such menu item");
        sd_bus_message* reply = nullptr;
        r = sd_bus_message_new_method_return(m, &reply);
        if (r >= 0) r = sd_bus_message_append(reply, "u", menu.revision_);
        if (r >= 0) r = Layout(reply, menu, parent, depth != 0);
        if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
        sd_bus_message_unref(reply);
        return r;
    }
    static int GetGroupProperties(sd_bus_message* m, void* userdata, sd_bus_error*) {
        DbusMenu& menu = Of(userdata);
        const std::int32_t* ids = nullptr;
        std::size_t size = 0;
        int r = sd_bus_message_read_array(m, 'i', reinterpret_cast<const void**>(&ids), &size);
        if (r < 0) return r;
        std::vector<std::int32_t> wanted(ids, ids + size / sizeof(std::int32_t));
        // No ids asks for every item.
        if (wanted.empty()) {
            for (std::size_t i = 0; i <= menu.items_.size(); ++i) wanted.push_back(static_cast<std::int32_t>(i));
        }
        sd_bus_message* reply = nullptr;
        r = sd_bus_message_new_method_return(m, &reply);
        if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "(ia{sv})");
        for (const std::int32_t id : wanted) {
            if (r < 0) break;
            if (!Known(menu, id)) continue;
            r = sd_bus_message_open_container(reply, 'r', "ia{sv}");
            if (r >= 0) r = sd_bus_message_append(reply, "i", id);
            if (r >= 0) r = Properties(reply, menu, id);
            if (r >= 0) r = sd_bus_message_close_container(reply);
        }
        if (r >= 0) r = sd_bus_message_close_container(reply);
        if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
        sd_bus_message_unref(reply);
        return r;
    }
    static int GetProperty(sd_bus_message* m, void* userdata, sd_bus_error* error) {
        DbusMenu& menu = Of(userdata);
        std::int32_t id = 0;
        const char* name = nullptr;
        int r = sd_bus_message_read(m, "is", &id, &name);
        if (r < 0) return r;
        if (!Known(menu, id) || id == 0) return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "no such menu item");
        const Item& item = menu.items_[static_cast<std::size_t>(id - 1)];
        if (!std::strcmp(name, "label")) return sd_bus_reply_method_return(m, "v", "s", item.label.c_str());
        if (!std::strcmp(name, "visible")) return sd_bus_reply_method_return(m, "v", "b", item.visible ? 1 : 0);
        if (!std::strcmp(name, "enabled")) return sd_bus_reply_method_return(m, "v", "b", 1);
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "no such property");
    }
    // A click of a visible item: posted, so the reply goes first.
    static void Clicked(DbusMenu& menu, std::int32_t id, const char* event) {
        if (!event || std::strcmp(event, "clicked") != 0 || id <= 0 || !Known(menu, id)) return;
        const Item& item = menu.items_[static_cast<std::size_t>(id - 1)];
        if (!item.visible || !item.onClick) return;
        const std::string name = item.name;
        PostGuarded(menu.loop_, menu.alive_, [&menu, name] {
            if (menu.attached_ && !menu.attached_()) return;
            for (const Item& i : menu.items_) {
                if (i.name != name) continue;
                const std::function<void()> click = i.onClick;
                if (click) click();
                return;
            }
        });
    }
    static int Event(sd_bus_message* m, void* userdata, sd_bus_error*) {
        std::int32_t id = 0;
        const char* event = nullptr;
        int r = sd_bus_message_read(m, "is", &id, &event);
        if (r < 0) return r;
        Clicked(Of(userdata), id, event);
        return sd_bus_reply_method_return(m, "");
    }
    static int EventGroup(sd_bus_message* m, void* userdata, sd_bus_error*) {
        DbusMenu& menu = Of(userdata);
        int r = sd_bus_message_enter_container(m, 'a', "(isvu)");
        if (r < 0) return r;
        std::vector<std::int32_t> unknown;
        for (int n = 0; n < 256; ++n) {
            r = sd_bus_message_enter_container(m, 'r', "isvu");
            if (r <= 0) break;
            std::int32_t id = 0;
            const char* event = nullptr;
            if (sd_bus_message_read(m, "is", &id, &event) < 0) break;
            if (!Known(menu, id)) unknown.push_back(id);
            Clicked(menu, id, event);
            if (sd_bus_message_skip(m, "vu") < 0 || sd_bus_message_exit_container(m) < 0) break;
        }
        sd_bus_message* reply = nullptr;
        r = sd_bus_message_new_method_return(m, &reply);
        if (r >= 0) r = sd_bus_message_append_array(reply, 'i', unknown.data(), unknown.size() * sizeof(std::int32_t));
        if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
        sd_bus_message_unref(reply);
        return r;
    }
    static int AboutToShow(sd_bus_message* m, void*, sd_bus_error*) { return sd_bus_reply_method_return(m, "b", 0); }
    static int AboutToShowGroup(sd_bus_message* m, void*, sd_bus_error*) {
        return sd_bus_reply_method_return(m, "aiai", 0, 0);
    }
    static int Version(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return sd_bus_message_append(reply, "u", 3u);
    }
    static int Text(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*,
                    sd_bus_error*) {
        return sd_bus_message_append(reply, "s", !std::strcmp(property, "TextDirection") ? "ltr" : "normal");
    }
    static int ThemePath(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                         sd_bus_error*) {
        return sd_bus_message_append(reply, "as", 0);
    }
};

namespace {

const sd_bus_vtable kMenuVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Version", "u", DbusMenu::Access::Version, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("TextDirection", "s", DbusMenu::Access::Text, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Status", "s", DbusMenu::Access::Text, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "as", DbusMenu::Access::ThemePath, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("GetLayout", "iias", "u(ia{sv}av)", DbusMenu::Access::GetLayout, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetGroupProperties", "aias", "a(ia{sv})", DbusMenu::Access::GetGroupProperties,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetProperty", "is", "v", DbusMenu::Access::GetProperty, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Event", "isvu", "", DbusMenu::Access::Event, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("EventGroup", "a(isvu)", "ai", DbusMenu::Access::EventGroup, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AboutToShow", "i", "b", DbusMenu::Access::AboutToShow, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AboutToShowGroup", "ai", "aiai", DbusMenu::Access::AboutToShowGroup, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("ItemsPropertiesUpdated", "a(ia{sv})a(ias)", 0),
    SD_BUS_SIGNAL("LayoutUpdated", "ui", 0),
    SD_BUS_SIGNAL("ItemActivationRequested", "iu", 0),
    SD_BUS_VTABLE_END};

// dbusmenu reads "_" as the mark of an access key: a caption's own is doubled.
std::string MenuLabel(u16view caption) {
    std::string label;
    for (const char c : Utf8(caption)) {
        label += c;
        if (c == '_') label += '_';
    }
    return label;
}

}  // namespace

DbusMenu::DbusMenu(sd_bus* bus, MainLoop& loop, std::function<bool()> attached)
    : bus_(bus), loop_(loop), attached_(std::move(attached)) {
    sd_bus_add_object_vtable(bus_, &object_, kTrayMenuPath, kMenuInterface, kMenuVtable, this);
}

DbusMenu::~DbusMenu() {
    *alive_ = false;
    alive_.reset();
    sd_bus_slot_unref(object_);
}

void DbusMenu::AddItem(u16view name, u16view caption, bool visible, std::function<void()> onClick) {
    items_.push_back(Item{Utf8(name), MenuLabel(caption), visible, std::move(onClick)});
    Changed();
}

void DbusMenu::SetCaption(int index, u16view caption) {
    if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) return;
    std::string label = MenuLabel(caption);
    if (label == items_[static_cast<std::size_t>(index)].label) return;
    items_[static_cast<std::size_t>(index)].label = std::move(label);
    Changed();
}

void DbusMenu::Changed() {
    ++revision_;
    sd_bus_emit_signal(bus_, kTrayMenuPath, kMenuInterface, "LayoutUpdated", "ui", revision_, 0);
}

}  // namespace vxm::linuxos
