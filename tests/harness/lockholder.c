/* lockholder.exe NAME [deny|event]: makes the mutex NAME, owns it and waits
   until it is ended, as a standard user's program that holds a name first:
   with its default security, with an empty DACL that admits no one, or as
   an event, which every later CreateMutex of the name fails on. */
#include <windows.h>

int main(int argc, char** argv)
{
    SECURITY_DESCRIPTOR descriptor;
    ACL empty;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    HANDLE mutex;
    if (argc < 2)
        return 2;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, &empty, FALSE);
    if (argc > 2 && lstrcmpA(argv[2], "event") == 0)
        mutex = CreateEventA(NULL, TRUE, FALSE, argv[1]);
    else
        mutex = CreateMutexA(argc > 2 ? &attributes : NULL, TRUE, argv[1]);
    if (!mutex)
        return 1;
    Sleep(INFINITE);
    return 0;
}
