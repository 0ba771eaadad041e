#pragma once
// The process's heap policy.

// Blocks of a megabyte or more are taken from the system and handed back to it
// as soon as they are freed. A run moves cells of many megabytes; left to its
// own rule, the allocator would raise that threshold with the first large
// block freed and carve the next ones from a heap that keeps the size it grew
// to, holding the memory of cells long gone. Called once, at the start.
void pf_heap_return_large_blocks() noexcept;
