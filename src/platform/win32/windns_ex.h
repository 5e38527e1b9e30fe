#pragma once
// The asynchronous query interface of dnsapi.dll (Windows 8 and later), which mingw-w64's
// windns.h does not declare: the layouts as the Windows SDK defines them.

#include <windns.h>
#include <windows.h>

extern "C" {

#ifndef DNS_REQUEST_PENDING
#define DNS_REQUEST_PENDING 9506L
#endif

struct KzDnsAddr {
    CHAR MaxSa[32];  // a SOCKADDR_IN or SOCKADDR_IN6
    ULONG DnsAddrUserDword[8];
};

struct KzDnsAddrArray {
    DWORD MaxCount;
    DWORD AddrCount;
    DWORD Tag;
    WORD Family;
    WORD WordReserved;
    DWORD Flags;
    DWORD MatchFlag;
    DWORD Reserved1;
    DWORD Reserved2;
    KzDnsAddr AddrArray[1];
};

struct KzDnsQueryRequest {
    ULONG Version;  // 1
    PCWSTR QueryName;
    WORD QueryType;
    ULONG64 QueryOptions;
    KzDnsAddrArray* pDnsServerList;
    ULONG InterfaceIndex;
    PDNS_QUERY_COMPLETION_ROUTINE pQueryCompletionCallback;
    PVOID pQueryContext;
};

struct KzDnsQueryCancel {
    alignas(8) CHAR Reserved[32];
};

DNS_STATUS WINAPI DnsQueryEx(KzDnsQueryRequest* request, DNS_QUERY_RESULT* result,
                             KzDnsQueryCancel* cancel);
DNS_STATUS WINAPI DnsCancelQuery(KzDnsQueryCancel* cancel);
}
