#pragma once
// Threads, kernel objects and waits with the platform's names, on the C++ standard library.
//
// - Mutexes (owned by a thread, recursive, abandoned when their owner ends), events (manual or
//   automatic reset) and threads (signalled when they end) are waited for with
//   WaitForSingleObject; a handle stays valid until CloseHandle, also after its thread ended.
// - Every wait with a time-out and every Sleep goes through the platform clock
//   (platform/threads/clock.h), so a test that steps the clock decides when they end.
// - Threads are started with CreateThread; a thread the platform started is known to the clock,
//   which can tell when every such thread waits (clock.h, WaitIdle).
#include "platform/base/wintypes.h"

#ifndef INFINITE
#define INFINITE 0xFFFFFFFF
#endif
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_TIMEOUT 0x00000102L
#define WAIT_FAILED 0xFFFFFFFF
#define STILL_ACTIVE 0x00000103L
#define CREATE_SUSPENDED 0x00000004
#define THREAD_PRIORITY_NORMAL 0

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

// An unnamed mutex (a name is refused: there is nothing to share it with); owned at once by the
// calling thread when `initialOwner`.
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
inline HANDLE CreateMutex(LPSECURITY_ATTRIBUTES a, BOOL o, LPCWSTR n) { return CreateMutexW(a, o, n); }
// FALSE when the calling thread does not own the mutex.
BOOL ReleaseMutex(HANDLE mutex);
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
inline HANDLE CreateEvent(LPSECURITY_ATTRIBUTES a, BOOL m, BOOL s, LPCWSTR n) { return CreateEventW(a, m, s, n); }
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// Starts `start(parameter)` on a new thread (CREATE_SUSPENDED is refused); its exit code is what
// `start` returns. The stack size and the priority are the system's.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD code);   // STILL_ACTIVE while it runs
BOOL SetThreadPriority(HANDLE thread, int priority);
DWORD GetCurrentThreadId();
// WAIT_OBJECT_0 when the object was signalled (a mutex is then owned, an automatic event reset),
// WAIT_ABANDONED for a mutex whose owner ended, WAIT_TIMEOUT, or WAIT_FAILED for a handle that
// is not a kernel object.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL CloseHandle(HANDLE object);
