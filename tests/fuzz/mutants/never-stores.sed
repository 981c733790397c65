# The write-back never stores an edited byte.
s#if (buffers.edit\[k\]\[i\] != buffers.stored\[offsets\[k\] + i\]) image\[base + i\] = buffers.edit\[k\]\[i\];#(void)base;#
