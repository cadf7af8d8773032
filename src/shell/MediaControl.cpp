// TMMControl is header-only; this unit gives the static library a home for
// its meta-object code.
#include "MediaControl.h"
