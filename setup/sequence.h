/*
 * The whole run of the setup program, from the rights check to the closing
 * notice: which steps run, in which order, and the exit code.
 */
#ifndef SETUP_SEQUENCE_H
#define SETUP_SEQUENCE_H

#define EXIT_FINISHED 0
#define EXIT_STOPPED 1 /* no rights, or the user kept the older fonts */

int SetupSequence(void);

#endif
