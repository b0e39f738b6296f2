#pragma once
// The least of a retained scene: text objects that know their source text and
// re-apply it (through the translate function) when the scene refreshes.
#include <memory>
#include <vector>

#include "common/text.h"

namespace vxm::ui {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

enum class Align { Left, Center };

struct TextStyle {
    u16 fontFamily = u"Tahoma";
    int size = 11;  // pixels
    bool bold = false;
    std::uint32_t color = 0xFFFFFF;  // 0xRRGGBB
    Align align = Align::Left;
};

class TextObject {
public:
    TextObject(u16 name, u16 text, Rect bounds, TextStyle style)
        : Name(std::move(name)), Bounds(bounds), Style(std::move(style)), source_(std::move(text)), Text(source_) {}

    u16 Name;
    Rect Bounds;
    TextStyle Style;
    bool AutoTranslate = true;
    bool ShowHint = false;

    // What the object displays (after translation) and its hint.
    const u16& GetText() const { return Text; }
    const u16& GetHint() const { return Hint; }
    void SetText(u16 text) { source_ = Text = std::move(text); }
    void SetHint(u16 hint) { hintSource_ = Hint = std::move(hint); }

    // Re-applies the style: the texts pass through the translate function.
    void ApplyStyle();

private:
    u16 source_;
    u16 hintSource_;
    u16 Text;
    u16 Hint;
};

// Kinds of clickable area on a page.
struct ButtonObject {
    u16 Name;
    Rect Bounds;
};

class Scene {
public:
    TextObject& AddText(u16 name, u16 text, Rect bounds, TextStyle style);
    ButtonObject& AddButton(u16 name, Rect bounds);
    // Re-applies every object's style, so a language switch shows at once.
    void UpdateResource();

    const std::vector<std::unique_ptr<TextObject>>& Texts() const { return texts_; }
    const std::vector<ButtonObject>& Buttons() const { return buttons_; }
    const TextObject* FindText(u16view name) const;
    const ButtonObject* ButtonAt(int x, int y) const;

private:
    std::vector<std::unique_ptr<TextObject>> texts_;
    std::vector<ButtonObject> buttons_;
};

}  // namespace vxm::ui
