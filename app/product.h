#pragma once
// Names the product shows and the resources every window shares.
#include "uilib/ui_types.h"

constexpr const char kProductTitle[] = "LedgerDesk";
// The application icon ("icon101.svg" of the skin).
constexpr UINT kAppIconResource = 101;
