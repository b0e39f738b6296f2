#pragma once
// The least of a retained scene: text objects that know their source text and
// re-apply it (through the translate function) when the scene refreshes.
#include <memory>
#include <vector>

#include "common/text.h"
#include "lang/translate.h"

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

// A text control. It stores the text it displays: after a translation its
// Text is the translated text, and a language switch first turns it back
// into its source text (the translation state's reverse mode).
class TextObject {
public:
    TextObject(u16 name, u16 text, Rect bounds, TextStyle style)
        : Name(std::move(name)), Bounds(bounds), Style(std::move(style)), Text(std::move(text)) {}

    u16 Name;
    Rect Bounds;
    TextStyle Style;
    u16 Text;
    u16 Hint;
    bool AutoTranslate = true;
    bool ShowHint = false;

    const u16& GetText() const { return Text; }
    const u16& GetHint() const { return Hint; }

    // Re-applies the style: the texts pass through the translate function
    // (and stay as they are in design mode).
    void ApplyStyle(bool designing);
};

// Kinds of clickable area on a page.
struct ButtonObject {
    u16 Name;
    Rect Bounds;
};

class Scene final : public ITranslatableScene {
public:
    Scene() { RegisterScene(this); }
    ~Scene() override { UnregisterScene(this); }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;
    bool DesignMode = false;

    TextObject& AddText(u16 name, u16 text, Rect bounds, TextStyle style);
    ButtonObject& AddButton(u16 name, Rect bounds);
    // Re-applies every object's style, so a language switch shows at once.
    void UpdateResource() override;

    const std::vector<std::unique_ptr<TextObject>>& Texts() const { return texts_; }
    const std::vector<ButtonObject>& Buttons() const { return buttons_; }
    const TextObject* FindText(u16view name) const;
    const ButtonObject* ButtonAt(int x, int y) const;

private:
    std::vector<std::unique_ptr<TextObject>> texts_;
    std::vector<ButtonObject> buttons_;
};

}  // namespace vxm::ui
