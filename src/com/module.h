// The library as a whole: its instance handle, the lock that keeps it loaded
// while objects, class factory references or server locks live, and its own
// type library.
#pragma once

#include <oaidl.h>

#include <string>

namespace vellumine::com {

HINSTANCE ModuleInstance();
// The full path of the library file.
std::wstring ModulePath();

void LockModule();
void UnlockModule();
long ModuleLockCount();

// The type information of guid (an interface or the class) from the type
// library embedded in this library.
HRESULT LoadTypeInfo(REFGUID guid, ITypeInfo** info);

}  // namespace vellumine::com
