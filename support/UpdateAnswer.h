// Loading the update service's answer: an update answer is a few KB of
// plain XML. Anything over the size cap, and anything declaring a document
// type (whose entities can take the parser minutes to expand), is refused
// before it reaches the parser.
#pragma once

#include "core/WideString.h"
#include "core/XmlDocument.h"

// The largest answer accepted, in bytes (one per code unit as received).
const unsigned UpdateAnswerCap = 256 * 1024;

// 1 when the answer is within the cap and declares no DTD or entity.
int IsAcceptableUpdateAnswer(const WideString& answer);
// Creates the document (no validation, no external resolution) and loads
// the answer when it is acceptable.
int LoadUpdateAnswer(XmlDocument& document, const WideString& answer);
