/* The image's load configuration and the control-flow guard's routines, for
   programs built by clang with -mguard=cf against mingw-w64 10, whose runtime
   has none of them.

   Guarded code makes every indirect call through __guard_dispatch_icall_fptr
   with the target in RAX. The linker (lld --guard-cf) fills the table of
   valid targets (__guard_fids_table) and the guard flags, which this
   structure hands to the loader. On Windows the loader then replaces both
   routine pointers with its own checks against that table; until it does
   (and under Wine, which enforces nothing), the dispatch routine here jumps
   to the target unchecked.

   With TINTORA_STRICT_GUARD_CHECK (a test build) the dispatch routine checks
   as Windows does instead: a target inside this image must be in the image's
   guard function table, else the process ends. So a call target that the
   table lacks, which only Windows would catch, fails under Wine too.

   This file is compiled without -mguard=cf: it is the guard's own machinery.
   The stubs are top-level assembly for the x86-64 mingw-w64 target. */
#include <windows.h>

#include <stddef.h>
#include <stdint.h>

void tintora_guard_check_plain(void);
void tintora_guard_dispatch_plain(void);
#if defined(TINTORA_STRICT_GUARD_CHECK)
void tintora_guard_dispatch_strict(void);
#define TINTORA_GUARD_DISPATCH tintora_guard_dispatch_strict
#else
#define TINTORA_GUARD_DISPATCH tintora_guard_dispatch_plain
#endif

/* The routine pointers that guarded code calls through. Read-only, as the
   loader expects: it makes the page writable while it puts its own there. */
void (*const __guard_check_icall_fptr)(void) = tintora_guard_check_plain;
void (*const __guard_dispatch_icall_fptr)(void) = TINTORA_GUARD_DISPATCH;

/* IMAGE_LOAD_CONFIG_DIRECTORY64 up to GuardMemcpyFunctionPointer, field for
   field (mingw-w64 10's winnt.h stops before the guard's fields). The
   __guard_* symbols below are the linker's: the tables' addresses, and the
   counts and flags as absolute values. */
typedef struct TintoraLoadConfig {
  DWORD Size;
  DWORD TimeDateStamp;
  WORD MajorVersion;
  WORD MinorVersion;
  DWORD GlobalFlagsClear;
  DWORD GlobalFlagsSet;
  DWORD CriticalSectionDefaultTimeout;
  ULONGLONG DeCommitFreeBlockThreshold;
  ULONGLONG DeCommitTotalFreeThreshold;
  ULONGLONG LockPrefixTable;
  ULONGLONG MaximumAllocationSize;
  ULONGLONG VirtualMemoryThreshold;
  ULONGLONG ProcessAffinityMask;
  DWORD ProcessHeapFlags;
  WORD CSDVersion;
  WORD DependentLoadFlags;
  ULONGLONG EditList;
  ULONGLONG SecurityCookie;
  ULONGLONG SEHandlerTable;
  ULONGLONG SEHandlerCount;
  const void* GuardCFCheckFunctionPointer;
  const void* GuardCFDispatchFunctionPointer;
  const void* GuardCFFunctionTable;
  const void* GuardCFFunctionCount;
  DWORD GuardFlags;
  WORD CodeIntegrityFlags;
  WORD CodeIntegrityCatalog;
  DWORD CodeIntegrityCatalogOffset;
  DWORD CodeIntegrityReserved;
  const void* GuardAddressTakenIatEntryTable;
  const void* GuardAddressTakenIatEntryCount;
  const void* GuardLongJumpTargetTable;
  const void* GuardLongJumpTargetCount;
  ULONGLONG DynamicValueRelocTable;
  ULONGLONG CHPEMetadataPointer;
  ULONGLONG GuardRFFailureRoutine;
  ULONGLONG GuardRFFailureRoutineFunctionPointer;
  DWORD DynamicValueRelocTableOffset;
  WORD DynamicValueRelocTableSection;
  WORD Reserved2;
  ULONGLONG GuardRFVerifyStackPointerFunctionPointer;
  DWORD HotPatchTableOffset;
  DWORD Reserved3;
  ULONGLONG EnclaveConfigurationPointer;
  ULONGLONG VolatileMetadataPointer;
  const void* GuardEHContinuationTable;
  const void* GuardEHContinuationCount;
  ULONGLONG GuardXFGCheckFunctionPointer;
  ULONGLONG GuardXFGDispatchFunctionPointer;
  ULONGLONG GuardXFGTableDispatchFunctionPointer;
  ULONGLONG CastGuardOsDeterminedFailureMode;
  ULONGLONG GuardMemcpyFunctionPointer;
} TintoraLoadConfig;

typedef char TintoraLoadConfigHasItsSize[sizeof(TintoraLoadConfig) == 0x140 ? 1 : -1];

/* The structure itself, which the linker points the image's
   load-configuration directory at. Written in assembly because two of its
   fields hold linker-defined values that C cannot place in a static
   initializer: GuardFlags (32 bits) and the counts. */
__asm__(
    ".section .rdata,\"dr\"\n"
    ".globl _load_config_used\n"
    ".p2align 3\n"
    "_load_config_used:\n"
    "  .long 0x140\n"                       /* Size */
    "  .zero 0x6c\n"                        /* TimeDateStamp .. SEHandlerCount */
    "  .quad __guard_check_icall_fptr\n"    /* 0x70 GuardCFCheckFunctionPointer */
    "  .quad __guard_dispatch_icall_fptr\n" /* 0x78 GuardCFDispatchFunctionPointer */
    "  .quad __guard_fids_table\n"          /* 0x80 GuardCFFunctionTable */
    "  .quad __guard_fids_count\n"          /* 0x88 GuardCFFunctionCount */
    "  .long __guard_flags\n"               /* 0x90 GuardFlags */
    "  .zero 12\n"                          /* 0x94 CodeIntegrity */
    "  .quad __guard_iat_table\n"           /* 0xa0 GuardAddressTakenIatEntryTable */
    "  .quad __guard_iat_count\n"           /* 0xa8 GuardAddressTakenIatEntryCount */
    "  .quad __guard_longjmp_table\n"       /* 0xb0 GuardLongJumpTargetTable */
    "  .quad __guard_longjmp_count\n"       /* 0xb8 GuardLongJumpTargetCount */
    "  .zero 0x48\n"                        /* 0xc0 - 0x107, unused */
    "  .quad __guard_eh_cont_table\n"       /* 0x108 GuardEHContinuationTable */
    "  .quad __guard_eh_cont_count\n"       /* 0x110 GuardEHContinuationCount */
    "  .zero 0x28\n");                      /* 0x118 - 0x13f, unused */

/* The unchecked routines: the check returns, the dispatch jumps to RAX. */
__asm__(
    ".text\n"
    ".globl tintora_guard_check_plain\n"
    ".p2align 4\n"
    "tintora_guard_check_plain:\n"
    "  ret\n"
    ".globl tintora_guard_dispatch_plain\n"
    ".p2align 4\n"
    "tintora_guard_dispatch_plain:\n"
    "  jmp *%rax\n");

#if defined(TINTORA_STRICT_GUARD_CHECK)

extern const IMAGE_DOS_HEADER __ImageBase;

/* Ends the process the way a failed guard check does on Windows
   (STATUS_STACK_BUFFER_OVERRUN), after saying which target failed. */
static void TintoraGuardFail(uintptr_t target) {
  static const char hex[] = "0123456789abcdef";
  char text[] = "control-flow guard: indirect call to RVA 0x00000000 is not a valid target\n";
  const uintptr_t rva = target - (uintptr_t)&__ImageBase;
  DWORD written = 0;
  int i;
  for (i = 0; i < 8; ++i) text[43 + i] = hex[(rva >> (28 - 4 * i)) & 0xF];
  OutputDebugStringA(text);
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, (DWORD)(sizeof text - 1), &written, NULL);
  TerminateProcess(GetCurrentProcess(), (UINT)0xC0000409u);
}

/* Whether the target is a valid call target of this image, by the guard
   function table that the image's load configuration names (as the loader
   reads it): sorted RVAs, each entry 4 bytes plus the extra bytes that the
   guard flags' top nibble gives. Targets outside the image belong to modules
   without this image's table; they are left to those modules. */
void tintora_validate_call_target(uintptr_t target) {
  const uintptr_t base = (uintptr_t)&__ImageBase;
  const IMAGE_NT_HEADERS64* nt =
      (const IMAGE_NT_HEADERS64*)(base + (uintptr_t)__ImageBase.e_lfanew);
  const IMAGE_DATA_DIRECTORY* dir =
      &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG];
  const TintoraLoadConfig* config;
  const unsigned char* table;
  size_t count, stride, low, high;
  DWORD rva;
  if (target < base || target - base >= nt->OptionalHeader.SizeOfImage) return;
  rva = (DWORD)(target - base);
  if (dir->VirtualAddress == 0 || dir->Size < offsetof(TintoraLoadConfig, GuardFlags) + 4) {
    TintoraGuardFail(target);
    return;
  }
  config = (const TintoraLoadConfig*)(base + dir->VirtualAddress);
  table = (const unsigned char*)config->GuardCFFunctionTable;
  count = (size_t)(uintptr_t)config->GuardCFFunctionCount;
  stride = 4 + ((config->GuardFlags >> 28) & 0xF);
  low = 0;
  high = count;
  while (table != NULL && low < high) {
    const size_t middle = low + (high - low) / 2;
    DWORD entry;
    CopyMemory(&entry, table + middle * stride, sizeof entry);
    if (entry == rva) return;
    if (entry < rva) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  TintoraGuardFail(target);
}

/* The strict dispatch: keeps the argument registers (RCX, RDX, R8, R9,
   XMM0-XMM3) and the target, validates the target, then jumps to it with
   the stack as the caller left it. */
__asm__(
    ".text\n"
    ".globl tintora_guard_dispatch_strict\n"
    ".p2align 4\n"
    "tintora_guard_dispatch_strict:\n"
    "  pushq %rcx\n"
    "  pushq %rdx\n"
    "  pushq %r8\n"
    "  pushq %r9\n"
    "  pushq %rax\n"
    "  subq $0x60, %rsp\n"
    "  movdqu %xmm0, 0x20(%rsp)\n"
    "  movdqu %xmm1, 0x30(%rsp)\n"
    "  movdqu %xmm2, 0x40(%rsp)\n"
    "  movdqu %xmm3, 0x50(%rsp)\n"
    "  movq %rax, %rcx\n"
    "  call tintora_validate_call_target\n"
    "  movdqu 0x20(%rsp), %xmm0\n"
    "  movdqu 0x30(%rsp), %xmm1\n"
    "  movdqu 0x40(%rsp), %xmm2\n"
    "  movdqu 0x50(%rsp), %xmm3\n"
    "  addq $0x60, %rsp\n"
    "  popq %rax\n"
    "  popq %r9\n"
    "  popq %r8\n"
    "  popq %rdx\n"
    "  popq %rcx\n"
    "  jmp *%rax\n");

#endif
