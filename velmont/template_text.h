// Builds the text of a fader-file template from the dialogue's answers. A pure
// function: the same settings always give the same text, and nothing is
// printed or written here. The text grows with the channel count; there is no
// fixed limit.
#pragma once

#include <string>

#include "velmont/template_settings.h"

namespace velmont {

// Send level of every rev and trev line, in dB, whatever the returns carry.
constexpr float kSendLevel = -3.0f;

// The whole template: the mix-name placeholder, the channel material in the
// chosen layout, the reverb returns and the closing "end" line.
std::string buildTemplateText(const TemplateSettings& settings);

} // namespace velmont
