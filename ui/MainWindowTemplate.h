#pragma once

#include <cstddef>

// The main window's controls in template order (which is also the tab
// order), with positions in dialog units.
class MainWindowTemplate {
public:
    enum class Kind { MultiLineEdit, LineEdit, ReadOnlyLineEdit, PushButton, CheckBox, Label, ListBox };

    struct Control {
        int id; // -1 for the labels
        Kind kind;
        const char* caption;
        int x, y, width, height;
        bool initiallyDisabled;
        int buddy; // a label: the field it captions; otherwise 0
        const char* accessibleName; // what a screen reader says where caption or buddy would be ambiguous or missing
    };

    static constexpr int kWidth = 322;
    static constexpr int kHeight = 295;
    static constexpr const char* kCaption = "Quorlin";
    static constexpr const char* kFontFamily = "宋体";
    static constexpr int kFontPointSize = 9;

    static const Control* begin();
    static const Control* end();
    static std::size_t size();
};
