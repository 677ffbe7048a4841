#pragma once

#include "document/DrawElement.h"
#include "document/DynaArray.h"

// The document's vector content: every drawing element in list order.
using TElementList = TDynaArray<TDrawElement>;
