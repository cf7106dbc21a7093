#ifndef RESIDENTMEMORY_H
#define RESIDENTMEMORY_H

// This process's resident memory in KiB, or -1 where it cannot be read.
long residentKiB();

#endif
