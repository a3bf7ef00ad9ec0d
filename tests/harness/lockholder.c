/* lockholder.exe NAME [deny|event|admin FILE]: makes the mutex NAME, owns
   it and waits until it is ended, as a standard user's program that holds a
   name first: with its default security, with an empty DACL that admits no
   one, or as an event, which every later CreateMutex of the name fails on.
   admin: as an administrator's set-up holds the lock, owned by
   Administrators and admitting them and SYSTEM only; FILE is made once it
   holds it. */
#include <windows.h>
#include <sddl.h>

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
    if (argc > 3 && lstrcmpA(argv[2], "admin") == 0) {
        PSECURITY_DESCRIPTOR admins = NULL;
        SECURITY_ATTRIBUTES owned = {sizeof owned, NULL, FALSE};
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("O:BAD:(A;;GA;;;BA)(A;;GA;;;SY)", SDDL_REVISION_1,
                                                                  &admins, NULL))
            return 1;
        owned.lpSecurityDescriptor = admins;
        mutex = CreateMutexA(&owned, TRUE, argv[1]);
        if (mutex)
            CloseHandle(CreateFileA(argv[3], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    } else if (argc > 2 && lstrcmpA(argv[2], "event") == 0)
        mutex = CreateEventA(NULL, TRUE, FALSE, argv[1]);
    else
        mutex = CreateMutexA(argc > 2 ? &attributes : NULL, TRUE, argv[1]);
    if (!mutex)
        return 1;
    Sleep(INFINITE);
    return 0;
}
