#pragma once
// The Alt letters a window offers: the letter after '&' in the text of every
// button, label and group box not hidden, with the text it belongs to.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>
#include <map>
#include <vector>

inline QChar g_mnemonic_of(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return QChar();
}

// Every letter a window offers, with the texts that carry it.
inline std::map<QChar, QStringList> g_mnemonics(const std::vector<QWidget*>& roots) {
    std::map<QChar, QStringList> by_letter;
    auto note = [&](QWidget* w, const QString& text) {
        if (w->isHidden()) return;
        for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
            if (p->isHidden() && !p->isWindow()) return;
        const QChar letter = g_mnemonic_of(text);
        if (!letter.isNull()) by_letter[letter] << text;
    };
    for (QWidget* root : roots) {
        for (QAbstractButton* b : root->findChildren<QAbstractButton*>()) note(b, b->text());
        for (QLabel* l : root->findChildren<QLabel*>()) note(l, l->text());
        for (QGroupBox* g : root->findChildren<QGroupBox*>()) note(g, g->title());
    }
    return by_letter;
}

// Texts sharing one letter, letter by letter; empty when every control has
// its own.
inline std::map<QChar, QStringList> g_mnemonic_clashes(const std::vector<QWidget*>& roots) {
    std::map<QChar, QStringList> clashes;
    for (auto& [letter, texts] : g_mnemonics(roots))
        if (texts.size() > 1) clashes[letter] = texts;
    return clashes;
}
