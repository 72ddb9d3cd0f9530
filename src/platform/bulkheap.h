#pragma once

#include <cstddef>

// For a command that reads a whole calendar into memory, works on it and ends (agenda,
// restore, export): the heap takes `bytes` of room up front, in pages as large as the system
// gives to a process that asks for them (transparent huge pages), and keeps what is freed
// until the process ends. Page by page, ten thousand records take thousands of page faults,
// which on a virtual machine cost as much as the work they serve. Room never touched costs no
// memory. Call it before the bulk of the work allocates, and never in a process that runs for
// long: freed memory is not given back. Where the C library has no such controls it does
// nothing.
void ReserveBulkHeap(std::size_t bytes);
