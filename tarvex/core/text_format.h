// printf-style formatting onto the end of a text, for reports and plans of
// any length: the toolset's shared formatter.
#pragma once

#include "common/text_format.h"

namespace tarvex {

using toolset::appendf;

} // namespace tarvex
