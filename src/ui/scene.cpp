#include "ui/scene.h"

#include "lang/translate.h"

namespace vxm::ui {

void TextObject::ApplyStyle(bool designing) {
    if (!AutoTranslate) return;
    const u16 text = TranslateText(Text);
    if (!designing) Text = text;
    if (ShowHint && !Hint.empty()) {
        const u16 hint = TranslateText(Hint);
        if (!designing) Hint = hint;
    }
}

TextObject& Scene::AddText(u16 name, u16 text, Rect bounds, TextStyle style) {
    texts_.push_back(std::make_unique<TextObject>(std::move(name), std::move(text), bounds, std::move(style)));
    return *texts_.back();
}

ButtonObject& Scene::AddButton(u16 name, Rect bounds) {
    buttons_.push_back(ButtonObject{std::move(name), bounds});
    return buttons_.back();
}

void Scene::UpdateResource() {
    for (auto& t : texts_) t->ApplyStyle(DesignMode);
}

const TextObject* Scene::FindText(u16view name) const {
    for (const auto& t : texts_) {
        if (t->Name == name) return t.get();
    }
    return nullptr;
}

const ButtonObject* Scene::ButtonAt(int x, int y) const {
    for (const auto& b : buttons_) {
        if (x >= b.Bounds.x && y >= b.Bounds.y && x < b.Bounds.x + b.Bounds.width &&
            y < b.Bounds.y + b.Bounds.height) {
            return &b;
        }
    }
    return nullptr;
}

}  // namespace vxm::ui
