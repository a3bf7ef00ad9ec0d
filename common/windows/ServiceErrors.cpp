#include "windows/ServiceControl.h"

namespace qb480 {

const char* ServiceErrorText(DWORD code)
{
    // The texts are the operator's: blanks and stops as they have always read.
    switch (code) {
    case ERROR_INVALID_SERVICE_CONTROL:
        return " The requested control is not valid for this service";
    case ERROR_SERVICE_REQUEST_TIMEOUT:
        return "  The service did not respond to the start or control request in a timely fashion.";
    case ERROR_SERVICE_NO_THREAD:
        return " A thread could not be created for the service.";
    case ERROR_SERVICE_DATABASE_LOCKED:
        return " The service database is locked.";
    case ERROR_SERVICE_ALREADY_RUNNING:
        return " An instance of the service is already running.";
    case ERROR_INVALID_SERVICE_ACCOUNT:
        return " The account name is invalid or does not exist..";
    case ERROR_SERVICE_DISABLED:
        return " The specified service is disabled and cannot be started.";
    case ERROR_CIRCULAR_DEPENDENCY:
        return "  Circular service dependency was specified.";
    case ERROR_SERVICE_DOES_NOT_EXIST:
        return " The specified service does not exist as an installed service.";
    case ERROR_SERVICE_CANNOT_ACCEPT_CTRL:
        return " The service cannot accept control messages at this time.";
    case ERROR_SERVICE_NOT_ACTIVE:
        return "  The service has not been started.";
    case ERROR_FAILED_SERVICE_CONTROLLER_CONNECT:
        return " The service process could not connect to the service controller.";
    case ERROR_EXCEPTION_IN_SERVICE:
        return "An exception occurred in the service when handling the control request. ";
    case ERROR_DATABASE_DOES_NOT_EXIST:
        return "The database specified does not exist.";
    case ERROR_SERVICE_SPECIFIC_ERROR:
        return "The service has returned a service-specific error code.";
    case ERROR_PROCESS_ABORTED:
        return "The process terminated unexpectedly.";
    case ERROR_SERVICE_DEPENDENCY_FAIL:
        return "The dependency service or group failed to start.";
    case ERROR_SERVICE_LOGON_FAILED:
        return " The service did not start due to a logon failure.";
    case ERROR_SERVICE_START_HANG:
        return " After starting, the service hung in a start-pending state.";
    case ERROR_INVALID_SERVICE_LOCK:
        return " The specified service database lock is invalid.";
    case ERROR_SERVICE_MARKED_FOR_DELETE:
        return " The specified service has been marked for deletion.";
    case ERROR_ALREADY_RUNNING_LKG:
        return "  The system is currently running with the last-known-good configuration.";
    case ERROR_SERVICE_DEPENDENCY_DELETED:
        return " The dependency service does not exist or has been marked for deletion.";
    default:
        return "Unknown error encountered: CreateService";
    }
}

}  // namespace qb480
