/*
 * Comparing two files byte for byte.
 */
#ifndef INSTALL_FILE_COMPARE_H
#define INSTALL_FILE_COMPARE_H

/* 1 when both files can be read to their ends and hold the same bytes;
 * 0 when they differ or either cannot be opened or read. */
int FilesHaveSameBytes(const char *first, const char *second);

#endif
