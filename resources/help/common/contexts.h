/* Help context numbers of the windows of ZOR Configuration. */
#define IDH_LOGIN 110
#define IDH_WINDOW 120
#define IDH_GENERAL 121
#define IDH_COLOURS 122
#define IDH_AGENTS 123
#define IDH_RIGHTS 130
#define IDH_HISTORY 140
#define IDH_CONNECTION 204
