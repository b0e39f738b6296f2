#include "platform/linux/dbusmenu_linux.h"

#include <systemd/sd-bus.h>

#include <cstring>

namespace vxm::linuxos {

namespace {

constexpr char kMenuInterface[] = "com.canonical.dbusmenu";

}  // namespace

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
        BusMessage owned;
        r = sd_bus_message_new_method_return(m, owned.Put());
        sd_bus_message* reply = owned.Get();
        if (r >= 0) r = sd_bus_message_append(reply, "u", menu.revision_);
        if (r >= 0) r = Layout(reply, menu, parent, depth != 0);
        if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
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
        BusMessage owned;
        r = sd_bus_message_new_method_return(m, owned.Put());
        sd_bus_message* reply = owned.Get();
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
        menu.lifetime_.Post(menu.loop_, [&menu, name] {
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
        BusMessage owned;
        r = sd_bus_message_new_method_return(m, owned.Put());
        sd_bus_message* reply = owned.Get();
        if (r >= 0) r = sd_bus_message_append_array(reply, 'i', unknown.data(), unknown.size() * sizeof(std::int32_t));
        if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
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
    sd_bus_add_object_vtable(bus_, object_.Put(), kTrayMenuPath, kMenuInterface, kMenuVtable, this);
}

// What was posted for this menu runs no more, and the object leaves the bus
// with its slot.
DbusMenu::~DbusMenu() { lifetime_.End(); }

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
