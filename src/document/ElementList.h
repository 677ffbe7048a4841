#pragma once

#include "base/DynaArray.h"
#include "document/DrawElement.h"

// The document's vector content: every drawing element in list order.
using TElementList = TDynaArray<TDrawElement>;
