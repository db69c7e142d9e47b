// Counting the heap allocations of a stretch of code: the bench's own
// malloc family, over glibc's.
#ifndef TARN2_BENCH_ALLOC_COUNT_H
#define TARN2_BENCH_ALLOC_COUNT_H

// 1 starts counting from zero; 0 stops and answers the count.
long AllocationCounting(int on);

#endif
