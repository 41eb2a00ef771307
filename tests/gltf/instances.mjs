// Instanced glTF files as two readers that know EXT_mesh_gpu_instancing take them:
//   node instances.mjs NODE_MODULES FILE BLADES...
// gltf-transform (its core and extensions packages) finds BLADES placements over the
// nodes' instancing; three.js's GLTFLoader makes InstancedMeshes whose counts add up to
// BLADES (a .glb: its loader in node cannot fetch a .bin). BLADES:coloured asks besides
// for a colour on every placement (_COLOR_0), which three.js takes as instanceColor.
// Exits 1 when either does not.
import fs from 'fs';
import path from 'path';
import { pathToFileURL } from 'url';

const [modules, ...pairs] = process.argv.slice(2);
const load = (name) => import(pathToFileURL(path.join(modules, name)).href);
const { NodeIO } = await load('@gltf-transform/core/dist/index.js');
const { EXTMeshGPUInstancing } = await load('@gltf-transform/extensions/dist/index.js');
const { GLTFLoader } = await load('three/examples/jsm/loaders/GLTFLoader.js');

let failed = 0;
for (let i = 0; i < pairs.length; i += 2) {
  const file = pairs[i], [count, coloured] = pairs[i + 1].split(':'), blades = Number(count);
  const document = await new NodeIO().registerExtensions([EXTMeshGPUInstancing]).read(file);
  let placements = 0, colours = 0;
  for (const node of document.getRoot().listNodes()) {
    const instancing = node.getExtension('EXT_mesh_gpu_instancing');
    if (!instancing) continue;
    placements += instancing.getAttribute('TRANSLATION').getCount();
    colours += instancing.getAttribute('_COLOR_0')?.getCount() ?? 0;
  }
  let drawn = 'not read (.gltf)';
  if (file.endsWith('.glb')) {
    const bytes = fs.readFileSync(file);
    const gltf = await new Promise((resolve, reject) =>
      new GLTFLoader().parse(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length), '', resolve, reject));
    drawn = 0;
    gltf.scene.traverse((object) => {
      if (object.isInstancedMesh && (!coloured || object.instanceColor?.count === object.count)) drawn += object.count;
    });
  }
  const ok = placements === blades && (typeof drawn === 'string' || drawn === blades) &&
    colours === (coloured ? blades : 0);
  console.log(`${path.basename(file)}: ${blades} blades; gltf-transform: ${placements} placements, ${colours} ` +
    `coloured; three.js: ` + (typeof drawn === 'string' ? drawn : `${drawn} instances drawn${coloured ? ' coloured' : ''}`));
  if (!ok) failed++;
}
process.exit(failed > 0 ? 1 : 0);
