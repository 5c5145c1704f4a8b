#pragma once

// Shows a fixed text by code, or with code 50 the caller's own text, in a
// modal box captioned "Nocteris" with only an OK button and no icon.
int messages(short code, const char* text = nullptr);

// The text a code shows (empty for codes without one); exposed for the tests
// and for callers that need the wording without a box.
const char* message_text(short code);

constexpr short MSG_OWN_TEXT = 50;
