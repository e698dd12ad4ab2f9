// Nothing else may live in this file: a program that links its own definition of
// ReleaseKeysText (a launcher built with a test key) must not pull this one in.
#include "update/ReleaseKeys.h"

const char* nb::ReleaseKeysText() { return NB_RELEASE_KEYS_TEXT; }
