// libpavlet.so: the record store's translation units live beside this one.
namespace pavlet {
// Lets a program check at run time that it loaded the library it was built with.
int LibraryVersion() { return 1; }
}  // namespace pavlet
