#pragma once

#include <QString>
#include <array>

// Positions of everything on the prescription pane and the injection card, in twips (1/1440
// inch) relative to their pane. The on-screen sheet is drawn from these tables and the prints
// are made from the same tables (the prescription enlarged), so screen and paper cannot drift.
namespace layout {

struct Caption {
    const char16_t* objectName;
    const char16_t* text; // empty for texts the program sets (title, card header, date)
    int left;             // -1: centred in the pane
    int top;
    const char16_t* font;
    bool bold;
    double screenSize; // points on screen
    double printSize;  // points on paper (the card prints at screen size)
};

struct Box {
    const char16_t* objectName;
    int left;
    int top;
    int width;
    int height;
};

struct Line {
    const char16_t* objectName;
    int x1, y1, x2, y2;
};

// --- Prescription pane (Picture2) ---

inline constexpr int PaneWidth = 5915;
inline constexpr int PaneHeight = 8550;
inline constexpr double PrintScale = 1.293;
inline constexpr int TwipsPerMillimetre = 56;

inline constexpr std::array<Caption, 13> Label3{{
    {u"Label3_0", u"", -1, 360, u"黑体", false, 15.75, 18},
    {u"Label3_1", u"Rp", 480, 1740, u"宋体", true, 18, 18},
    {u"Label3_2", u"姓名：", 480, 960, u"黑体", false, 10.5, 11},
    {u"Label3_3", u"年龄：", 2880, 960, u"黑体", false, 10.5, 11},
    {u"Label3_4", u"日期：", 3840, 960, u"黑体", false, 10.5, 11},
    {u"Label3_5", u"诊断：", 480, 1380, u"黑体", false, 10.5, 11},
    {u"Label3_6", u"地址：", 2520, 1380, u"黑体", false, 10.5, 11},
    {u"Label3_7", u"性别：", 1980, 960, u"黑体", false, 10.5, 11},
    {u"Label3_8", u"医生：", 3900, 7440, u"黑体", false, 10.5, 11},
    {u"Label3_9", u"配药：", 3900, 7740, u"黑体", false, 10.5, 11},
    {u"Label3_10", u"划价", 720, 7560, u"楷体_GB2312", false, 10.5, 11},
    {u"Label3_11", u"收费", 2880, 7440, u"楷体_GB2312", false, 12, 11},
    {u"Label3_12", u"盖章", 2880, 7740, u"楷体_GB2312", false, 12, 11},
}};

// Field boxes in record order: name, sex, age, date, diagnosis, address, doctor, dispenser, fee.
// Widths and heights are the screen boxes' own; the print uses left and top only.
inline constexpr std::array<Box, 9> Text4{{
    {u"Text4_0", 1080, 980, 840, 270},
    {u"Text4_1", 2520, 980, 360, 270},
    {u"Text4_2", 3420, 980, 420, 270},
    {u"Text4_3", 4380, 980, 1300, 270},
    {u"Text4_4", 1080, 1410, 1440, 270},
    {u"Text4_5", 3060, 1410, 2340, 270},
    {u"Text4_6", 4440, 7455, 960, 270},
    {u"Text4_7", 4440, 7755, 960, 270},
    {u"Text4_8", 1560, 7560, 700, 270},
}};

// The caption (its index in Label3) each field box stands beside.
inline constexpr std::array<int, 9> Text4Caption{2, 7, 3, 4, 5, 6, 8, 9, 11};

// The longest text a doctor can type into each field box.
inline constexpr std::array<int, 9> Text4MaxLength{4, 1, 4, 10, 8, 18, 4, 4, 6};

inline constexpr const char16_t* FieldFont = u"楷体_GB2312";
inline constexpr double FieldPrintSize = 11;
inline constexpr double FieldScreenSize = 10.5;

inline constexpr std::array<Line, 8> Line1{{
    {u"Line1_0", 480, 840, 5400, 840},
    {u"Line1_1", 480, 1680, 5400, 1680},
    {u"Line1_2", 480, 7260, 5400, 7260},
    {u"Line1_3", 480, 7380, 2280, 7380},
    {u"Line1_4", 480, 7380, 480, 7980},
    {u"Line1_5", 1380, 7380, 1380, 7980},
    {u"Line1_6", 2280, 7380, 2280, 7980},
    {u"Line1_7", 480, 7980, 2280, 7980},
}};

inline constexpr Box R1{u"R1", 1380, 2160, 3915, 4815};
inline constexpr int PrescriptionPrintLines = 20;
inline constexpr int PrescriptionLineSpacing = 70; // extra twips between printed lines

// --- Injection card pane ---

inline constexpr int CardWidth = 3840;
inline constexpr int CardHeight = 5580;

inline constexpr std::array<Caption, 3> Label6{{
    {u"Label6_0", u"门诊注射卡", 1320, 300, u"黑体", false, 12, 12},
    {u"Label6_1", u"", 300, 660, u"宋体", false, 9.75, 9.75},
    {u"Label6_2", u"", 2460, 660, u"宋体", false, 9.75, 9.75},
}};

inline constexpr Box R2{u"R2", 540, 1140, 2835, 4035};
inline constexpr const char16_t* CardTextFont = u"宋体";
inline constexpr double CardTextSize = 10;
inline constexpr int CardPrintLines = 15;
inline constexpr int CardLineSpacing = 50;

inline constexpr std::array<Line, 4> Line5{{
    {u"Line5_0", 300, 900, 3540, 900},
    {u"Line5_1", 300, 5280, 3540, 5280},
    {u"Line5_2", 300, 900, 300, 5280},
    {u"Line5_3", 3540, 5280, 3540, 900},
}};

inline QString str(const char16_t* text) { return QString::fromUtf16(text); }

} // namespace layout
