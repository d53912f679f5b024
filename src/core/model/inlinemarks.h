#pragma once
// Marks a note's plain text carries: checklist boxes at the start of a paragraph, and web and
// mail addresses that become links. Kept as text, so that every reader of a page sees them.

#include <QString>

#include <optional>

namespace qly {

inline constexpr char16_t kBoxOpen = 0x2610;   // ☐
inline constexpr char16_t kBoxTicked = 0x2611; // ☑

// Whether a paragraph's text starts with a checklist box; its state when it does.
std::optional<bool> boxTicked(const QString& paragraph);
// The box in the other state.
inline char16_t toggledBox(char16_t box) {
    return box == kBoxTicked ? kBoxOpen : kBoxTicked;
}

// A link found in text: where it is and the address it opens.
struct FoundLink {
    qsizetype start = 0;
    qsizetype length = 0;
    QString url;

    bool operator==(const FoundLink&) const = default;
};

// The link that the word ending just before `end` is, if it is one: an http://, https:// or
// file:// address, a www. name (opened as http://) or an e-mail address (as mailto:).
// Punctuation around the word ("(www.example.org).") is not part of it.
std::optional<FoundLink> linkEndingAt(const QString& text, qsizetype end);

} // namespace qly
