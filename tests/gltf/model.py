#!/usr/bin/env python3
"""Writes a small glTF model such as a user brings: two nodes named "Rock" and "Pond",
each a triangle of its own material. "Stone" has factors other than glTF's defaults and a
base-colour texture (with a sampler) of a 2x1 PNG; "Water" is blended and one-sided.
    model.py OUT.glb                the image in the binary chunk
    model.py OUT.gltf               the data in OUT.bin, the image in "stone texture.png" beside
    model.py --data-uri OUT.gltf    the image as a data: URI
    model.py --unkept OUT           with an animation, a camera, a skin, vertex colours, normal
                                    textures and an extension, none of which the program keeps
"""
import base64
import json
import os
import struct
import sys
import zlib


def png():
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    pixels = zlib.compress(bytes([0, 200, 30, 40, 60, 220, 90]))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 2, 1, 8, 2, 0, 0, 0)) +
            chunk(b'IDAT', pixels) + chunk(b'IEND', b''))


def pad(data):
    return data + b'\0' * (-len(data) % 4)


def main(arguments):
    data_uri = '--data-uri' in arguments
    unkept = '--unkept' in arguments
    out = [a for a in arguments if not a.startswith('--')][0]
    binary = out.endswith('.glb')
    positions = struct.pack('<9f', 0, 0, 0, 1, 0, 0, 0, 0, 1)
    uvs = struct.pack('<6f', 0, 0, 1, 0, 0, 1)
    indices = pad(struct.pack('<3H', 0, 2, 1))
    data = positions + uvs + indices
    views = [{'buffer': 0, 'byteOffset': 0, 'byteLength': 36, 'target': 34962},
             {'buffer': 0, 'byteOffset': 36, 'byteLength': 24, 'target': 34962},
             {'buffer': 0, 'byteOffset': 60, 'byteLength': 6, 'target': 34963}]
    image = {'name': 'stone'}
    if binary:
        views.append({'buffer': 0, 'byteOffset': len(data), 'byteLength': len(png())})
        data = pad(data + png())
        image.update({'bufferView': 3, 'mimeType': 'image/png'})
    elif data_uri:
        image['uri'] = 'data:image/png;base64,' + base64.b64encode(png()).decode()
    else:
        image['uri'] = 'stone%20texture.png'
        with open(os.path.join(os.path.dirname(out), 'stone texture.png'), 'wb') as f:
            f.write(png())
    primitive = {'attributes': {'POSITION': 0, 'TEXCOORD_0': 1}, 'indices': 2}
    if unkept:
        primitive['attributes']['COLOR_0'] = 0
    gltf = {
        'asset': {'version': '2.0'},
        'scene': 0,
        'scenes': [{'nodes': [0, 1]}],
        'nodes': [{'name': 'Rock', 'mesh': 0}, {'name': 'Pond', 'mesh': 1, 'translation': [2, 0, 0]}],
        'meshes': [{'primitives': [dict(primitive, material=0)]}, {'primitives': [dict(primitive, material=1)]}],
        'materials': [
            {'name': 'Stone',
             'pbrMetallicRoughness': {'baseColorFactor': [0.9, 0.8, 0.7, 1], 'metallicFactor': 0.2,
                                      'roughnessFactor': 0.5, 'baseColorTexture': {'index': 0}},
             'emissiveFactor': [0.1, 0.2, 0.3], 'alphaMode': 'MASK', 'alphaCutoff': 0.25, 'doubleSided': True},
            {'name': 'Water', 'pbrMetallicRoughness': {'baseColorFactor': [0.1, 0.3, 0.6, 0.5]},
             'alphaMode': 'BLEND', 'doubleSided': False}],
        'textures': [{'sampler': 0, 'source': 0}],
        'samplers': [{'magFilter': 9728, 'minFilter': 9986, 'wrapS': 33071, 'wrapT': 33648}],
        'images': [image],
        'accessors': [
            {'bufferView': 0, 'componentType': 5126, 'count': 3, 'type': 'VEC3', 'min': [0, 0, 0], 'max': [1, 0, 1]},
            {'bufferView': 1, 'componentType': 5126, 'count': 3, 'type': 'VEC2'},
            {'bufferView': 2, 'componentType': 5123, 'count': 3, 'type': 'SCALAR'}],
        'bufferViews': views,
        'buffers': [{'byteLength': len(data)}],
    }
    if unkept:
        gltf['nodes'].append({'name': 'Eye', 'camera': 0})
        gltf['scenes'][0]['nodes'].append(2)
        gltf['cameras'] = [{'type': 'perspective', 'perspective': {'yfov': 1, 'znear': 0.1}}]
        gltf['animations'] = [{'channels': [], 'samplers': []}]
        gltf['skins'] = [{'joints': [2]}]
        for material in gltf['materials']:
            material['normalTexture'] = {'index': 0}
        gltf['materials'][1]['extensions'] = {'KHR_materials_ior': {'ior': 1.33}}
        gltf['extensionsUsed'] = ['KHR_materials_ior']
    if binary:
        text = json.dumps(gltf).encode()
        text += b' ' * (-len(text) % 4)
        with open(out, 'wb') as f:
            f.write(struct.pack('<III', 0x46546C67, 2, 12 + 8 + len(text) + 8 + len(data)))
            f.write(struct.pack('<I', len(text)) + b'JSON' + text)
            f.write(struct.pack('<I', len(data)) + b'BIN\0' + data)
    else:
        bin_name = os.path.splitext(os.path.basename(out))[0] + '.bin'
        gltf['buffers'][0]['uri'] = bin_name
        with open(os.path.join(os.path.dirname(out), bin_name), 'wb') as f:
            f.write(data)
        with open(out, 'w') as f:
            json.dump(gltf, f)


main(sys.argv[1:])
