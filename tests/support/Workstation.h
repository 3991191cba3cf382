#pragma once

#include "common/TextList.h"
#include "workstation/Keypad.h"
#include "workstation/PrescriptionSheet.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <QWidget>
#include <array>

// The main window's controls, found by the names the program gives them, as a person finds
// them by what they show: whichever panel owns a control is the window's own business.
struct Controls {
    explicit Controls(const QWidget& w)
    {
        auto find = [&w]<typename T>(T*& slot, const QString& name) {
            slot = w.findChild<T*>(name);
            if (!slot)
                qFatal("no control named %s", qPrintable(name));
        };
        find(Text1, QStringLiteral("Text1"));
        find(Text2, QStringLiteral("Text2"));
        find(Text3, QStringLiteral("Text3"));
        find(Command2, QStringLiteral("Command2"));
        find(T1, QStringLiteral("T1"));
        find(List1, QStringLiteral("List1"));
        find(list2, QStringLiteral("list2"));
        find(list5, QStringLiteral("list5"));
        find(Picture1, QStringLiteral("Picture1"));
        find(Picture2, QStringLiteral("Picture2"));
        find(R1, QStringLiteral("R1"));
        find(R2, QStringLiteral("R2"));
        find(Label7, QStringLiteral("Label7"));
        find(Label10, QStringLiteral("Label10"));
        find(Toolbar1, QStringLiteral("Toolbar1"));
        keypad = w.findChild<Keypad*>();
        for (size_t i = 0; i < Text4.size(); ++i)
            find(Text4[i], QStringLiteral("Text4_%1").arg(i));
        for (size_t i = 0; i < Label5.size(); ++i)
            find(Label5[i], QStringLiteral("Label5_%1").arg(i));
    }

    QLineEdit* Text1 = nullptr; // drug initials
    QLineEdit* Text2 = nullptr; // name to search
    QLineEdit* Text3 = nullptr; // date to search
    QPushButton* Command2 = nullptr;
    TextList* T1 = nullptr;
    TextList* List1 = nullptr;
    TextList* list2 = nullptr;
    TextList* list5 = nullptr;
    CardPane* Picture1 = nullptr;
    PrescriptionPane* Picture2 = nullptr;
    std::array<FieldBox*, 9> Text4{};
    RichBox* R1 = nullptr;
    RichBox* R2 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label10 = nullptr;
    QToolBar* Toolbar1 = nullptr;
    Keypad* keypad = nullptr;
    std::array<ClickLabel*, 17> Label5{};
};
