/*
 * Joining a folder and a name into a path, within a caller's buffer.
 */
#ifndef TEXT_PATH_H
#define TEXT_PATH_H

/* Writes `folder` and `name` into `out`, with a backslash between them
 * unless the folder's last byte already is one (compared as a plain byte).
 * Returns 1 when the path and its terminating zero fit `capacity` bytes;
 * otherwise returns 0 and writes nothing. */
int JoinPath(char *out, int capacity, const char *folder, const char *name);

#endif
