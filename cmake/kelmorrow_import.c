/* Link-time stand-in for the configuration library, as a Windows import
 * library is: it gives the plug-in its dependency on libkelmorrow.so and the
 * entry point's name. It is never loaded; the real library is found beside
 * the plug-in at run time. */
int kelsysInstantiateFramework2(int flag1, int flag2, void** framework) {
  (void)flag1;
  (void)flag2;
  (void)framework;
  return (int)0x80004005u;
}
