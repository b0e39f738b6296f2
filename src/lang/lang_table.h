#pragma once
// A sorted, case-sensitive list of texts ordered by the platform's
// locale-aware comparison; a text equal to one present is not added again.
// Language tables hold lines "source=translation".
#include <vector>

#include "common/text.h"
#include "platform/locale.h"

namespace vxm {

class TStringList {
public:
    explicit TStringList(platform::INationalLanguage& nls) : nls_(&nls) {}

    bool Add(u16view text);  // false when an equal text is present
    // Adds many texts at once, as Add would one by one in this order (the
    // first of equal texts wins, texts already present win over new ones),
    // but in O(n log n): sorted once, then merged.
    void AddAll(std::vector<u16> texts);
    bool Contains(u16view text) const;
    void Clear() { items_.clear(); }
    std::size_t Count() const { return items_.size(); }
    const u16& operator[](std::size_t i) const { return items_[i]; }
    const std::vector<u16>& Items() const { return items_; }
    bool Erase(u16view text);

    // Every text followed by CR LF.
    u16 Text() const;
    // Cuts at CR LF, CR, LF, VT, FF, U+2028, U+2029 and ends at the first NUL;
    // every piece, empty ones too, is added.
    void AddText(u16view text);
    // Replaces the list; on failure it stays as it was.
    void SetText(u16view text);

    // Table lookups, linear in table order: the translation of a source text,
    // or the source of a translation. Empty when nothing matches.
    bool Translate(u16view source, u16& out) const;
    bool Reverse(u16view translation, u16& out) const;

    platform::INationalLanguage& Nls() const { return *nls_; }

private:
    platform::INationalLanguage* nls_;
    std::vector<u16> items_;
};

}  // namespace vxm
