#pragma once
// The colours the log is drawn in, on a light page and on a dark one. The renderer (logrender.h)
// names every piece by its colour on the light page as the log first had it; the page the log is
// shown on turns that into the colour of its set. Every text colour reads on its page at a
// contrast of at least kLogMinContrast, by the WCAG measure; the first colours that fell short of
// it on white are darkened by as little as it takes, the others are kept.
#include <cstdint>
#include <vector>

enum class ELogTheme : uint8_t { Light, Dark };

constexpr double kLogMinContrast = 4.5;

// The line at the top that says how many lines the scrollback let go.
constexpr uint32_t kColorMarker = 0x00808080;

// Colours are 0x00BBGGRR, as everywhere in the core.
double RelativeLuminance(uint32_t colour);
// From 1 (the same luminance) to 21 (black on white), whichever of the two is lighter.
double ContrastRatio(uint32_t a, uint32_t b);
// `colour` darkened (on a light ground) or lightened (on a dark one), its hue kept, just enough to
// reach `ratio` against `ground`; unchanged when it does already.
uint32_t WithContrast(uint32_t colour, uint32_t ground, double ratio);

struct ST_LogColour
{
    const char *Role;
    uint32_t Rendered; // what the renderer gives the piece
    uint32_t Light;
    uint32_t Dark;
};
// Every colour the log draws text in.
const std::vector<ST_LogColour> &LogColours();

uint32_t LogPage(ELogTheme theme);
// The ground of the find bar's matches.
uint32_t LogFindMark(ELogTheme theme);
// The colour a piece rendered in `rendered` is drawn in on the theme's page; a colour the set
// does not know is drawn as it is.
uint32_t LogShownColour(ELogTheme theme, uint32_t rendered);
