// QV_SHARED_SECTION places an initialised variable in the module's section
// ".qvshare", which the image marks as shared: every process that loads the
// same module file maps the same bytes, born as the variable's initial image.
// Only constant-initialised, pointer-free data belongs there (no per-process
// constructor may run over it, and no relocation may touch it).
#pragma once

#if defined(_MSC_VER)
#pragma section(".qvshare", read, write, shared)
#define QV_SHARED_SECTION __declspec(allocate(".qvshare"))
#else
#define QV_SHARED_SECTION __attribute__((section(".qvshare"), shared))
#endif
