#pragma once
// The web panels are the skin toolkit's follower panels (WebPanel of the backend): a page
// over its owner at a fixed offset, or a note that the page cannot be shown.
#include "SkinNative.h"
