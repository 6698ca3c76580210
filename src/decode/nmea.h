#pragma once
// NMEA 0183 sentences read out: the talker, the sentence, its fields by name for the kinds a
// receiver sends most (GGA, RMC, VTG, GSA, GSV, GLL, ZDA) and by number for the rest, named for
// the plot as "GGA.alt". Positions are given in signed degrees besides their text, times of day in
// seconds. AIS sentences (!AIVDM, !AIVDO) are shown as their armoured payload: its bits are for a
// decoder of their own.
#include "decode/decoder.h"

class CNmeaDecoder : public IDecoder
{
public:
    ST_Decoded Decode(const ST_Frame &frame, const ST_Frame *request = nullptr) const override;
};
