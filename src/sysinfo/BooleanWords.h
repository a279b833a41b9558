#pragma once

// The words a boolean reads as where it is shown as text.

#include <string>

namespace brenvik {

// Replaces the words for true and for false; until then they are "True" and "False".
void SetBooleanWords(std::string trueWord, std::string falseWord);
std::string BoolToStr(bool value);

} // namespace brenvik
