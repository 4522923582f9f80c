/*
 * The process heap, with a count of the blocks in use.
 */
#include <cstring>

#include "state.h"

using namespace host::detail;

namespace {

char theProcessHeap;

/* Fresh blocks hold this byte unless zeroed, so that code relying on
 * zeroed memory shows itself. */
constexpr unsigned char kUninitialisedByte = 0xAB;

} // namespace

HANDLE GetProcessHeap(void)
{
    return &theProcessHeap;
}

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes)
{
    if (heap != &theProcessHeap)
        Abort("HeapAlloc on a heap that is not the process heap");
    if (ShouldFail("HeapAlloc"))
        return nullptr;
    /* Windows gives a distinct block even for zero bytes. */
    auto block = std::make_unique<unsigned char[]>(bytes ? bytes : 1);
    std::memset(block.get(), (flags & HEAP_ZERO_MEMORY) ? 0 : kUninitialisedByte,
                bytes ? bytes : 1);
    void *address = block.get();
    Machine().heapBlocks[address] = std::move(block);
    return address;
}

BOOL HeapFree(HANDLE heap, DWORD, LPVOID block)
{
    if (heap != &theProcessHeap)
        Abort("HeapFree on a heap that is not the process heap");
    if (!block)
        return TRUE;
    if (!Machine().heapBlocks.erase(block))
        Abort("HeapFree of a block HeapAlloc did not give out, or freed twice");
    return TRUE;
}
