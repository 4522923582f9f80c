#include "fonts/font_sets.h"

/* Names in ascending byte order, each as its vendor registers it. */

static const char *const NewFontNames[] = {
    "cmb10", "cmbsy10", "cmbsy6", "cmbsy7", "cmbsy8", "cmbsy9", "cmbx10",
    "cmbx12", "cmbx5", "cmbx6", "cmbx7", "cmbx8", "cmbx9", "cmbxsl10",
    "cmbxti10", "cmcsc10", "cmcsc8", "cmcsc9", "cmdunh10", "cmex10", "cmex7",
    "cmex8", "cmex9", "cmff10", "cmfi10", "cmfib8", "cminch", "cmitt10",
    "cmmi10", "cmmi12", "cmmi5", "cmmi6", "cmmi7", "cmmi8", "cmmi9",
    "cmmib10", "cmmib6", "cmmib7", "cmmib8", "cmmib9", "cmr10", "cmr12",
    "cmr17", "cmr5", "cmr6", "cmr7", "cmr8", "cmr9", "cmsl10", "cmsl12",
    "cmsl8", "cmsl9", "cmsltt10", "cmss10", "cmss12", "cmss17", "cmss8",
    "cmss9", "cmssbx10", "cmssdc10", "cmssi10", "cmssi12", "cmssi17",
    "cmssi8", "cmssi9", "cmssq8", "cmssqi8", "cmsy10", "cmsy5", "cmsy6",
    "cmsy7", "cmsy8", "cmsy9", "cmtcsc10", "cmtex10", "cmtex8", "cmtex9",
    "cmti10", "cmti12", "cmti7", "cmti8", "cmti9", "cmtt10", "cmtt12",
    "cmtt8", "cmtt9", "cmu10", "cmvtt10", "euex10", "euex7", "euex8", "euex9",
    "eufb10", "eufb5", "eufb6", "eufb7", "eufb8", "eufb9", "eufm10", "eufm5",
    "eufm6", "eufm7", "eufm8", "eufm9", "eurb10", "eurb5", "eurb6", "eurb7",
    "eurb8", "eurb9", "eurm10", "eurm5", "eurm6", "eurm7", "eurm8", "eurm9",
    "eusb10", "eusb5", "eusb6", "eusb7", "eusb8", "eusb9", "eusm10", "eusm5",
    "eusm6", "eusm7", "eusm8", "eusm9", "msam10", "msam5", "msam6", "msam7",
    "msam8", "msam9", "msbm10", "msbm5", "msbm6", "msbm7", "msbm8", "msbm9",
};

const FontSet NewFontSet = {
    NewFontNames, sizeof NewFontNames / sizeof NewFontNames[0], 87 /* cmvtt10 */};

static const char *const LegacyFontNamesA[] = {
    "ASCGRP", "CMBSY10", "CMBX10", "CMBX12", "CMBX5", "CMBX6", "CMBX7",
    "CMBX8", "CMBX9", "CMCSC10", "CMEX10", "CMMI10", "CMMI12", "CMMI5",
    "CMMI6", "CMMI7", "CMMI8", "CMMI9", "CMMIB10", "CMR10", "CMR12", "CMR17",
    "CMR5", "CMR6", "CMR7", "CMR8", "CMR9", "CMSL10", "CMSL12", "CMSL8",
    "CMSL9", "CMSS10", "CMSS12", "CMSS17", "CMSS8", "CMSS9", "CMSY10",
    "CMSY5", "CMSY6", "CMSY7", "CMSY8", "CMSY9", "CMTI10", "CMTI12", "CMTI7",
    "CMTI8", "CMTI9", "CMTT10", "CMTT12", "CMTT8", "CMTT9", "LASY10", "LASY5",
    "LASY6", "LASY7", "LASY8", "LASY9", "LASYB10", "LCIRCLE1", "LCIRCLEW",
    "LINE10", "LINEW10", "LOGO10", "LOGO8", "LOGO9",
};

const FontSet LegacyFontSetA = {
    LegacyFontNamesA, sizeof LegacyFontNamesA / sizeof LegacyFontNamesA[0], 0 /* ASCGRP */};

static const char *const LegacyFontNamesB[] = {
    "CMBSY5", "CMBSY6", "CMBSY7", "CMBSY8", "CMBSY9", "CMCSC8", "CMCSC9",
    "CMEX7", "CMEX8", "CMEX9", "CMMIB5", "CMMIB6", "CMMIB7", "CMMIB8",
    "CMMIB9", "EUEX10", "EUEX7", "EUEX8", "EUEX9", "EUFB10", "EUFB5", "EUFB6",
    "EUFB7", "EUFB8", "EUFB9", "EUFM10", "EUFM5", "EUFM6", "EUFM7", "EUFM8",
    "EUFM9", "EURB10", "EURB5", "EURB6", "EURB7", "EURB8", "EURB9", "EURM10",
    "EURM5", "EURM6", "EURM7", "EURM8", "EURM9", "EUSB10", "EUSB5", "EUSB6",
    "EUSB7", "EUSB8", "EUSB9", "EUSM10", "EUSM5", "EUSM6", "EUSM7", "EUSM8",
    "EUSM9", "MSAM10", "MSAM5", "MSAM6", "MSAM7", "MSAM8", "MSAM9", "MSBM10",
    "MSBM5", "MSBM6", "MSBM7", "MSBM8", "MSBM9", "WNCYB10", "WNCYB5",
    "WNCYB6", "WNCYB7", "WNCYB8", "WNCYB9", "WNCYI10", "WNCYI5", "WNCYI6",
    "WNCYI7", "WNCYI8", "WNCYI9", "WNCYR10", "WNCYR5", "WNCYR6", "WNCYR7",
    "WNCYR8", "WNCYR9", "WNCYSC10", "WNCYSS10", "WNCYSS8", "WNCYSS9",
};

const FontSet LegacyFontSetB = {
    LegacyFontNamesB, sizeof LegacyFontNamesB / sizeof LegacyFontNamesB[0], 67 /* WNCYB10 */};
