/* The controller-access library: file transfer and the high-speed data port of
 * a controller, with C linkage so that any library exporting the same six
 * functions can stand in for it. Every function returns 0 on success; on
 * failure it returns one of the CDDLG_ERROR_ codes and writes a readable text of
 * at most CDDLG_ERROR_TEXT_SIZE bytes (terminator included) into errorText.
 * docs/controller-protocol.md describes what travels on the wire. */
#ifndef CONTROLLER_ACCESS_LIBRARY_H
#define CONTROLLER_ACCESS_LIBRARY_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && defined(CDDLG_BUILDING)
#define CDDLG_API __declspec(dllexport)
#elif defined(_WIN32)
#define CDDLG_API __declspec(dllimport)
#else
#define CDDLG_API __attribute__((visibility("default")))
#endif

/* Sizes of the caller's buffers. */
#define CDDLG_ERROR_TEXT_SIZE 1024
#define CDDLG_TEXT_SIZE 200

/* Results. */
#define CDDLG_OK 0
#define CDDLG_ERROR_ARGUMENT 1      /* an argument is missing, too long or out of range */
#define CDDLG_ERROR_CONNECT 2       /* the controller cannot be reached */
#define CDDLG_ERROR_NOT_OPEN 3      /* the connection that the call needs is not open */
#define CDDLG_ERROR_REFUSED 4       /* the controller refused the request (see the text) */
#define CDDLG_ERROR_COMMUNICATION 5 /* time-out, lost connection or malformed answer */
#define CDDLG_ERROR_LOCAL_FILE 6    /* the downloaded file cannot be stored */
#define CDDLG_ERROR_INTERNAL 7      /* out of memory or another fault inside the library */

/* Opens the file transfer connection and logs in. Texts are NUL-terminated
 * within CDDLG_TEXT_SIZE bytes; connectTimeout is in seconds (at most 2). */
CDDLG_API int32_t _CDDLG_OpenConnection(char* serverName, char* userName, char* password,
                                        double connectTimeout, char* errorText);

/* Closes the file transfer connection; succeeds also when none is open. */
CDDLG_API int32_t _CDDLG_CloseConnection(char* errorText);

/* Downloads the remote file over the open file transfer connection and stores
 * it at localPath, replacing the file whole or not at all. mode must be 0. */
CDDLG_API int32_t _CDDLG_ReadFile(const char* remoteFileName, char* localPath, int32_t mode, char* errorText);

/* Opens the high-speed data port and asks the controller for its image sizes;
 * requestTimeout is in seconds (at most 1). */
CDDLG_API int32_t _CDDLG_OpenHighspeedPortTCPIP(const char* serverName, double requestTimeout,
                                                char* errorText);

/* One exchange: writes writeLength bytes (none for 0) at writeOffset of the
 * output image and reads *readLength bytes of the input image from offset 0
 * into readData, which must hold that many. channel must be 0 and mode 1;
 * requestTimeout as for the opening. A lost connection is made again first. *readLength
 * is left as it was. */
CDDLG_API int32_t _CDDLG_CommunicateHighspeedPortTCPIP(int32_t channel, const unsigned char* writeData,
                                                       int32_t writeLength, int32_t writeOffset,
                                                       unsigned char* readData, int32_t* readLength,
                                                       double requestTimeout, int32_t mode, char* errorText);

/* The sizes of the input and output image that the controller announced when
 * the open high-speed port last connected (it connects again first when the
 * connection was lost); requestTimeout as for the opening. Not one of the six
 * functions that a stand-in library must offer: the event manager uses it to
 * refuse variables outside the images before it observes. */
CDDLG_API int32_t _CDDLG_HighspeedImageSizesTCPIP(int32_t* inputSize, int32_t* outputSize,
                                                  double requestTimeout, char* errorText);

/* Closes the high-speed data port; succeeds also when none is open. */
CDDLG_API int32_t _CDDLG_CloseHighspeedPortTCPIP(char* errorText);

#ifdef __cplusplus
}
#endif

#endif
