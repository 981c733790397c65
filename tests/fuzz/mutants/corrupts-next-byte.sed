# The write-back also flips the byte after each edited one.
s#image\[base + i\] = buffers.edit\[k\]\[i\];#{ image[base + i] = buffers.edit[k][i]; image[base + i + 1] ^= 0x01; }#
