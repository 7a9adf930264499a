// SimpleBinder: native functions and read-only properties as members of
// existing host script objects. Include this for the whole binder.
#pragma once

#include "SimpleBinderBindUtil.h"
#include "SimpleBinderCallbacks.h"
#include "SimpleBinderFunctionStore.h"
#include "SimpleBinderInterfaces.h"
#include "SimpleBinderPropertyStore.h"
#include "SimpleBinderStoreUtil.h"
