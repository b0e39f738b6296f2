#include "platform/linux/dbusmenu_linux.h"

#include <systemd/sd-bus.h>

#include <algorithm>
#include <cstring>

namespace vxm::linuxos {

namespace {

constexpr char kMenuInterface[] = "com.canonical.dbusmenu";

}  // namespace

struct DbusMenu::Access {
    static DbusMenu& Of(void* userdata) { return *static_cast<DbusMenu*>(userdata); }

    static const Node* Find(const DbusMenu& menu, std::int32_t id) {
        const auto it = menu.nodes_.find(id);
        return it == menu.nodes_.end() ? nullptr : &it->second;
    }
    static int Properties(sd_bus_message* reply, const DbusMenu& menu, std::int32_t id) {
        const Node& node = *Find(menu, id);
        int r = sd_bus_message_open_container(reply, 'a', "{sv}");
        if (r < 0) return r;
        if (id != 0) {
            r = sd_bus_message_append(reply, "{sv}{sv}{sv}", "label", "s", node.label.c_str(), "enabled", "b", 1,
                                      "visible", "b", node.visible ? 1 : 0);
        }
        if (r >= 0 && (id == 0 || node.onChoose)) {
            r = sd_bus_message_append(reply, "{sv}", "children-display", "s", "submenu");
        }
        if (r >= 0 && node.toggle >= 0) {
            r = sd_bus_message_append(reply, "{sv}{sv}", "toggle-type", "s", "radio", "toggle-state", "i", node.toggle);
        }
        if (r < 0) return r;
        return sd_bus_message_close_container(reply);
    }
    // (ia{sv}av) of one entry, with its children `depth` levels down (-1: all).
    static int Layout(sd_bus_message* reply, const DbusMenu& menu, std::int32_t id, std::int32_t depth) {
        int r = sd_bus_message_open_container(reply, 'r', "ia{sv}av");
        if (r >= 0) r = sd_bus_message_append(reply, "i", id);
        if (r >= 0) r = Properties(reply, menu, id);
        if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "v");
        if (depth != 0) {
            for (const std::int32_t child : Find(menu, id)->children) {
                if (r < 0) break;
                r = sd_bus_message_open_container(reply, 'v', "(ia{sv}av)");
                if (r >= 0) r = Layout(reply, menu, child, depth < 0 ? depth : depth - 1);
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
        if (!Find(menu, parent)) return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "no such menu item");
        BusMessage owned;
        r = sd_bus_message_new_method_return(m, owned.Put());
        sd_bus_message* reply = owned.Get();
        if (r >= 0) r = sd_bus_message_append(reply, "u", menu.revision_);
        if (r >= 0) r = Layout(reply, menu, parent, depth);
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
        // No ids asks for every entry.
        if (wanted.empty()) {
            for (const auto& entry : menu.nodes_) wanted.push_back(entry.first);
        }
        BusMessage owned;
        r = sd_bus_message_new_method_return(m, owned.Put());
        sd_bus_message* reply = owned.Get();
        if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "(ia{sv})");
        for (const std::int32_t id : wanted) {
            if (r < 0) break;
            if (!Find(menu, id)) continue;
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
        const Node* node = id == 0 ? nullptr : Find(menu, id);
        if (!node) return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "no such menu item");
        if (!std::strcmp(name, "label")) return sd_bus_reply_method_return(m, "v", "s", node->label.c_str());
        if (!std::strcmp(name, "visible")) return sd_bus_reply_method_return(m, "v", "b", node->visible ? 1 : 0);
        if (!std::strcmp(name, "enabled")) return sd_bus_reply_method_return(m, "v", "b", 1);
        if (node->onChoose && !std::strcmp(name, "children-display")) {
            return sd_bus_reply_method_return(m, "v", "s", "submenu");
        }
        if (node->toggle >= 0 && !std::strcmp(name, "toggle-type")) return sd_bus_reply_method_return(m, "v", "s", "radio");
        if (node->toggle >= 0 && !std::strcmp(name, "toggle-state")) {
            return sd_bus_reply_method_return(m, "v", "i", node->toggle);
        }
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "no such property");
    }
    // A click of a visible item or choice: posted, so the reply goes first.
    // It runs only if the entry is still there then.
    static void Clicked(DbusMenu& menu, std::int32_t id, const char* event) {
        if (!event || std::strcmp(event, "clicked") != 0 || id <= 0) return;
        const Node* node = Find(menu, id);
        if (!node || !node->visible || (!node->onClick && node->toggle < 0)) return;
        menu.lifetime_.Post(menu.loop_, [&menu, id] {
            if (menu.attached_ && !menu.attached_()) return;
            const Node* clicked = Find(menu, id);
            if (!clicked) return;
            if (clicked->onClick) {
                const std::function<void()> click = clicked->onClick;
                click();
                return;
            }
            const Node* submenu = Find(menu, clicked->parent);
            if (!submenu || !submenu->onChoose) return;
            const auto& siblings = submenu->children;
            const auto place = std::find(siblings.begin(), siblings.end(), id) - siblings.begin();
            const std::function<void(int)> choose = submenu->onChoose;
            choose(static_cast<int>(place));
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
            if (!Find(menu, id)) unknown.push_back(id);
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
    nodes_[0] = Node{};
    sd_bus_add_object_vtable(bus_, object_.Put(), kTrayMenuPath, kMenuInterface, kMenuVtable, this);
}

// What was posted for this menu runs no more, and the object leaves the bus
// with its slot.
DbusMenu::~DbusMenu() { lifetime_.End(); }

std::int32_t DbusMenu::Add(std::int32_t parent, Node node) {
    const std::int32_t id = nextId_++;
    node.parent = parent;
    nodes_[id] = std::move(node);
    nodes_[parent].children.push_back(id);
    return id;
}

void DbusMenu::AddItem(u16view, u16view caption, bool visible, std::function<void()> onClick) {
    Node node;
    node.label = MenuLabel(caption);
    node.visible = visible;
    node.onClick = std::move(onClick);
    top_.push_back(Add(0, std::move(node)));
    Changed();
}

void DbusMenu::SetCaption(int index, u16view caption) {
    if (index < 0 || static_cast<std::size_t>(index) >= top_.size()) return;
    std::string label = MenuLabel(caption);
    Node& node = nodes_[top_[static_cast<std::size_t>(index)]];
    if (label == node.label) return;
    node.label = std::move(label);
    Changed();
}

void DbusMenu::AddChoices(u16view, u16view caption, std::vector<u16> choices, int checked,
                          std::function<void(int)> onChoose) {
    Node node;
    node.label = MenuLabel(caption);
    node.onChoose = std::move(onChoose);
    top_.push_back(Add(0, std::move(node)));
    SetChoices(static_cast<int>(top_.size() - 1), std::move(choices), checked);
}

void DbusMenu::SetChoices(int index, std::vector<u16> choices, int checked) {
    if (index < 0 || static_cast<std::size_t>(index) >= top_.size()) return;
    const std::int32_t id = top_[static_cast<std::size_t>(index)];
    if (!nodes_[id].onChoose) return;
    // The same choices keep their ids, so a menu a panel shows stays valid;
    // others replace them.
    std::vector<std::int32_t>& children = nodes_[id].children;
    bool same = children.size() == choices.size();
    for (std::size_t i = 0; same && i < choices.size(); ++i) same = nodes_[children[i]].label == MenuLabel(choices[i]);
    if (!same) {
        for (const std::int32_t child : std::vector<std::int32_t>(children)) nodes_.erase(child);
        nodes_[id].children.clear();
        for (const u16& choice : choices) {
            Node node;
            node.label = MenuLabel(choice);
            node.toggle = 0;
            Add(id, std::move(node));
        }
    }
    bool changed = !same;
    const std::vector<std::int32_t>& now = nodes_[id].children;
    for (std::size_t i = 0; i < now.size(); ++i) {
        const int toggle = static_cast<int>(i) == checked ? 1 : 0;
        Node& choice = nodes_[now[i]];
        changed = changed || choice.toggle != toggle;
        choice.toggle = toggle;
    }
    if (changed) Changed();
}

void DbusMenu::Changed() {
    ++revision_;
    sd_bus_emit_signal(bus_, kTrayMenuPath, kMenuInterface, "LayoutUpdated", "ui", revision_, 0);
}

}  // namespace vxm::linuxos
