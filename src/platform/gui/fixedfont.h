#pragma once
#include <QFont>

// The desktop's fixed-width font, so the log's columns line up. Some desktops name a font for
// this whose glyphs are not all one width (Qt then reports it as proportional); a known
// monospaced family is taken instead.
QFont FixedWidthFont();
