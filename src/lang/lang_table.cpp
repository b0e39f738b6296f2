#include "lang/lang_table.h"

#include <algorithm>

namespace vxm {

bool TStringList::Add(u16view text) {
    auto it = std::lower_bound(items_.begin(), items_.end(), text,
                               [this](const u16& a, u16view b) { return nls_->Compare(a, b, false) < 0; });
    if (it != items_.end() && nls_->Compare(*it, text, false) == 0) return false;
    items_.insert(it, u16(text));
    return true;
}

void TStringList::AddAll(std::vector<u16> texts) {
    const auto less = [this](const u16& a, const u16& b) { return nls_->Compare(a, b, false) < 0; };
    const auto equal = [this](const u16& a, const u16& b) { return nls_->Compare(a, b, false) == 0; };
    // Stable, so that of equal texts the first one given stays.
    std::stable_sort(texts.begin(), texts.end(), less);
    texts.erase(std::unique(texts.begin(), texts.end(), equal), texts.end());
    if (items_.empty()) {
        items_ = std::move(texts);
        return;
    }
    std::vector<u16> merged;
    merged.reserve(items_.size() + texts.size());
    std::size_t i = 0, j = 0;
    while (i < items_.size() && j < texts.size()) {
        const int c = nls_->Compare(items_[i], texts[j], false);
        if (c < 0) {
            merged.push_back(std::move(items_[i++]));
        } else if (c > 0) {
            merged.push_back(std::move(texts[j++]));
        } else {
            merged.push_back(std::move(items_[i++]));  // the text already present wins
            ++j;
        }
    }
    for (; i < items_.size(); ++i) merged.push_back(std::move(items_[i]));
    for (; j < texts.size(); ++j) merged.push_back(std::move(texts[j]));
    items_ = std::move(merged);
}

bool TStringList::Contains(u16view text) const {
    auto it = std::lower_bound(items_.begin(), items_.end(), text,
                               [this](const u16& a, u16view b) { return nls_->Compare(a, b, false) < 0; });
    return it != items_.end() && nls_->Compare(*it, text, false) == 0;
}

bool TStringList::Erase(u16view text) {
    for (auto it = items_.begin(); it != items_.end(); ++it) {
        if (nls_->Compare(*it, text, false) == 0) {
            items_.erase(it);
            return true;
        }
    }
    return false;
}

u16 TStringList::Text() const {
    u16 out;
    for (const auto& s : items_) {
        out += s;
        out += u"\r\n";
    }
    return out;
}

void TStringList::AddText(u16view text) {
    const auto nul = text.find(u'\0');
    if (nul != u16view::npos) text = text.substr(0, nul);
    std::vector<u16> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\u2028' || c == u'\u2029') {
            pieces.emplace_back(text.substr(start, i - start));
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            start = i + 1;
        }
    }
    pieces.emplace_back(text.substr(start));
    AddAll(std::move(pieces));
}

void TStringList::SetText(u16view text) {
    TStringList fresh(*nls_);
    fresh.AddText(text);
    items_.swap(fresh.items_);
}

bool TStringList::Translate(u16view source, u16& out) const {
    for (const auto& line : items_) {
        const auto eq = line.find(u'=');
        if (eq == u16::npos) continue;
        if (nls_->Compare(u16view(line).substr(0, eq), source, false) == 0) {
            out = line.substr(eq + 1);
            return true;
        }
    }
    return false;
}

bool TStringList::Reverse(u16view translation, u16& out) const {
    for (const auto& line : items_) {
        const auto eq = line.find(u'=');
        if (eq == u16::npos) continue;
        if (nls_->Compare(u16view(line).substr(eq + 1), translation, false) == 0) {
            out = line.substr(0, eq);
            return true;
        }
    }
    return false;
}

}  // namespace vxm
