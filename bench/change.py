# What a user would write instead of extern-set: read extern.xml, set one element, write it back.
import re
import sys

name, value = sys.argv[1], sys.argv[2]
with open("extern.xml", "rb") as f:
    doc = f.read()
doc = re.sub(b"<" + name.encode() + b">[^<]*<", b"<" + name.encode() + b">" + value.encode() + b"<", doc)
with open("extern.xml", "wb") as f:
    f.write(doc)
