#pragma once
// The protocol analyser's own reading of a capture: `tshark -r FILE -T fields` with the given
// fields, a row per packet, fields split at tabs. A capture it cannot read fails the test.
#include <string>
#include <vector>

std::vector<std::vector<std::string>> TsharkFields(const std::string &file,
                                                   const std::vector<std::string> &fields,
                                                   const std::string &filter = std::string());
