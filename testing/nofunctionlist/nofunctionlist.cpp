// A loadable library without C_GetFunctionList, for the loading failures of
// Cryptoki clients. It exports one unrelated function so that it is a real library.
extern "C" int nofunctionlist_version() { return 1; }
