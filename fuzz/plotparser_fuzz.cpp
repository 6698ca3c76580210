#include "plot/plotparser.h"
#include "plot/plotstore.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

// The bytes arrive cut at the positions the first byte chooses; whatever the cuts, the values
// read are the same as from one block, every value is finite and every series is known.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t step = data[0] % 17 + 1;
    ++data;
    --size;

    CPlotParser whole, pieces;
    std::vector<ST_PlotValue> wholeValues, pieceValues;
    std::vector<size_t> wholeEnds, pieceEnds;
    whole.Feed(data, size, wholeValues, wholeEnds);
    for (size_t pos = 0; pos < size; pos += step)
        pieces.Feed(data + pos, std::min(step, size - pos), pieceValues, pieceEnds);

    if (wholeEnds != pieceEnds || wholeValues.size() != pieceValues.size() ||
        whole.SeriesNames() != pieces.SeriesNames() || whole.DroppedValues() != pieces.DroppedValues())
        std::abort();
    CPlotStore store(64);
    size_t begin = 0;
    for (size_t end : wholeEnds) {
        if (end <= begin)
            std::abort();
        store.AddLine(static_cast<int64_t>(end), wholeValues.data() + begin, end - begin);
        begin = end;
    }
    for (size_t i = 0; i < wholeValues.size(); ++i) {
        const ST_PlotValue &a = wholeValues[i], &b = pieceValues[i];
        if (a.Series != b.Series || a.Value != b.Value || !std::isfinite(a.Value) || a.Series < 0 ||
            a.Series >= static_cast<int>(whole.SeriesNames().size()))
            std::abort();
    }
    if (whole.SeriesNames().size() > CPlotParser::kMaxSeries || store.Points() > 64)
        std::abort();
    std::vector<int> all;
    for (int s = 0; s < store.SeriesCount(); ++s) {
        all.push_back(s);
        store.Decimate(s, 0, static_cast<int64_t>(size), 7);
    }
    PlotCsv(store, all, whole.SeriesNames(), 0, static_cast<int64_t>(size));
    return 0;
}
