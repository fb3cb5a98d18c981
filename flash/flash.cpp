// The point store; filled in with the flash store.
