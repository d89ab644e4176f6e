// The test bed's stand-in for <windows.h>: the Win32 types, values and calls
// the Windows target of the dimmio tool uses, with the meanings and numbers
// Windows gives them. The calls reach a simulated machine (fake_windows.h):
// its driver service and, while the driver runs, the device "\\.\dimmio".
#pragma once

#include <cstdint>

typedef unsigned long DWORD;
typedef unsigned int UINT;
typedef int BOOL;
typedef void* HANDLE;
typedef void* HLOCAL;
typedef void* HMODULE;
typedef intptr_t (*FARPROC)();
typedef void* LPVOID;
typedef const char* LPCSTR;
typedef wchar_t* LPWSTR;
typedef const wchar_t* LPCWSTR;
typedef char* LPSTR;
typedef DWORD* LPDWORD;
typedef struct SC_HANDLE__* SC_HANDLE;
typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;
typedef struct _OVERLAPPED* LPOVERLAPPED;
typedef void* PSID;
typedef void* PSECURITY_DESCRIPTOR;
typedef int SID_NAME_USE;
typedef int SE_OBJECT_TYPE;
typedef DWORD SECURITY_INFORMATION;

#define WINAPI
#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(-1))

#define GENERIC_READ 0x80000000ul
#define GENERIC_WRITE 0x40000000ul
#define DELETE 0x00010000ul
#define FILE_SHARE_READ 0x1ul
#define FILE_SHARE_WRITE 0x2ul
#define FILE_READ_ATTRIBUTES 0x80ul
#define CREATE_NEW 1ul
#define CREATE_ALWAYS 2ul
#define OPEN_EXISTING 3ul
#define OPEN_ALWAYS 4ul
#define FILE_ATTRIBUTE_DIRECTORY 0x10ul
#define FILE_ATTRIBUTE_NORMAL 0x80ul
#define FILE_ATTRIBUTE_REPARSE_POINT 0x400ul
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000ul
#define FILE_BEGIN 0ul
#define INVALID_SET_FILE_POINTER (static_cast<DWORD>(-1))
#define CP_ACP 0u

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x100ul
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x200ul
#define FORMAT_MESSAGE_FROM_SYSTEM 0x1000ul

#define ERROR_INVALID_FUNCTION 1ul
#define ERROR_FILE_NOT_FOUND 2ul
#define ERROR_PATH_NOT_FOUND 3ul
#define ERROR_FILE_EXISTS 80ul
#define ERROR_ALREADY_EXISTS 183ul
#define ERROR_ACCESS_DENIED 5ul
#define ERROR_INVALID_HANDLE 6ul
#define ERROR_GEN_FAILURE 31ul
#define ERROR_PROC_NOT_FOUND 127ul
#define ERROR_INVALID_PARAMETER 87ul
#define ERROR_INSUFFICIENT_BUFFER 122ul
#define ERROR_MR_MID_NOT_FOUND 317ul
#define ERROR_OPERATION_ABORTED 995ul
#define ERROR_NOT_OWNER 288ul
#define ERROR_SERVICE_ALREADY_RUNNING 1056ul
#define ERROR_SERVICE_DOES_NOT_EXIST 1060ul
#define ERROR_SERVICE_NOT_ACTIVE 1062ul
#define ERROR_SERVICE_MARKED_FOR_DELETE 1072ul
#define ERROR_SERVICE_EXISTS 1073ul
#define ERROR_SHARING_VIOLATION 32ul
#define ERROR_NO_SYSTEM_RESOURCES 1450ul

#define ERROR_SUCCESS 0ul
#define ERROR_INVALID_SECURITY_DESCR 1338ul
#define SE_KERNEL_OBJECT 6
#define OWNER_SECURITY_INFORMATION 0x1ul

#define SYNCHRONIZE 0x00100000ul
#define READ_CONTROL 0x00020000ul
#define MUTEX_MODIFY_STATE 0x0001ul
#define MUTEX_ALL_ACCESS 0x001F0001ul
#define WAIT_OBJECT_0 0x00000000ul
#define WAIT_ABANDONED 0x00000080ul
#define WAIT_TIMEOUT 0x00000102ul
#define WAIT_FAILED 0xFFFFFFFFul

#define SC_MANAGER_CONNECT 0x0001ul
#define SC_MANAGER_CREATE_SERVICE 0x0002ul
#define SERVICE_QUERY_CONFIG 0x0001ul
#define SERVICE_CHANGE_CONFIG 0x0002ul
#define SERVICE_NO_CHANGE 0xFFFFFFFFul
#define SERVICE_QUERY_STATUS 0x0004ul
#define SERVICE_START 0x0010ul
#define SERVICE_STOP 0x0020ul
#define SERVICE_ALL_ACCESS 0xF01FFul
#define SERVICE_KERNEL_DRIVER 0x1ul
#define SERVICE_DEMAND_START 0x3ul
#define SERVICE_ERROR_NORMAL 0x1ul
#define SERVICE_CONTROL_STOP 0x1ul
#define SERVICE_STOPPED 0x1ul
#define SERVICE_RUNNING 0x4ul

typedef struct _FILETIME {
  DWORD dwLowDateTime, dwHighDateTime;
} FILETIME;
typedef struct _BY_HANDLE_FILE_INFORMATION {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime, ftLastAccessTime, ftLastWriteTime;
  DWORD dwVolumeSerialNumber, nFileSizeHigh, nFileSizeLow, nNumberOfLinks, nFileIndexHigh,
      nFileIndexLow;
} BY_HANDLE_FILE_INFORMATION;

typedef struct _SERVICE_STATUS {
  DWORD dwServiceType;
  DWORD dwCurrentState;
  DWORD dwControlsAccepted;
  DWORD dwWin32ExitCode;
  DWORD dwServiceSpecificExitCode;
  DWORD dwCheckPoint;
  DWORD dwWaitHint;
} SERVICE_STATUS, *LPSERVICE_STATUS;

typedef struct _QUERY_SERVICE_CONFIGA {
  DWORD dwServiceType;
  DWORD dwStartType;
  DWORD dwErrorControl;
  LPSTR lpBinaryPathName;
  LPSTR lpLoadOrderGroup;
  DWORD dwTagId;
  LPSTR lpDependencies;
  LPSTR lpServiceStartName;
  LPSTR lpDisplayName;
} QUERY_SERVICE_CONFIGA, *LPQUERY_SERVICE_CONFIGA;

DWORD GetLastError();
void SetLastError(DWORD error);
DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     LPSTR buffer, DWORD size, void* arguments);
HLOCAL LocalFree(HLOCAL memory);
DWORD GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size);
HMODULE GetModuleHandleA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
DWORD GetFileAttributesA(LPCSTR path);
UINT GetWindowsDirectoryA(LPSTR path, UINT size);
UINT GetSystemDirectoryA(LPSTR path, UINT size);

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL CloseHandle(HANDLE handle);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                        int wideLength);
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info);
DWORD SetFilePointer(HANDLE file, long distance, long* distanceHigh, DWORD method);
BOOL SetEndOfFile(HANDLE file);
BOOL WriteFile(HANDLE file, const void* bytes, DWORD length, LPDWORD written,
               LPOVERLAPPED overlapped);
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputLength, LPVOID output,
                     DWORD outputLength, LPDWORD returned, LPOVERLAPPED overlapped);

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name);
HANDLE OpenMutexA(DWORD access, BOOL inherit, LPCSTR name);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL ReleaseMutex(HANDLE mutex);
BOOL LookupAccountSidA(LPCSTR system, PSID sid, LPSTR name, LPDWORD nameLength, LPSTR domain,
                       LPDWORD domainLength, SID_NAME_USE* use);

SC_HANDLE OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access);
SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access);
SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access,
                         DWORD serviceType, DWORD startType, DWORD errorControl, LPCSTR binaryPath,
                         LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR dependencies, LPCSTR account,
                         LPCSTR password);
BOOL StartServiceA(SC_HANDLE service, DWORD argumentCount, LPCSTR* arguments);
BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status);
BOOL QueryServiceConfigA(SC_HANDLE service, LPQUERY_SERVICE_CONFIGA config, DWORD size,
                         LPDWORD needed);
BOOL ChangeServiceConfigA(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                          LPCSTR binaryPath, LPCSTR loadOrderGroup, LPDWORD tagId,
                          LPCSTR dependencies, LPCSTR account, LPCSTR password, LPCSTR displayName);
BOOL DeleteService(SC_HANDLE service);
BOOL CloseServiceHandle(SC_HANDLE handle);
