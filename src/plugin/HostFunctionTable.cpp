#include "HostFunctionTable.h"

HostFunctionTable::HostFunctionTable()
{
    for (std::size_t i = 0; i < slots.size(); ++i)
        slots[i].signature = vyhostfn::kAllSignatures[i];
}
